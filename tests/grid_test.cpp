// Allocation and release of the grid.
#include "grid/grid.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>

#include "tests/grid_owner.h"
#include "tests/resident.h"

namespace trasop {
namespace {

TEST(Grid, ReleasesWhateverWasAllocated) {
  TerrainGrid grid;
  ASSERT_EQ(Ok, allocateGrid(grid, 4, 3));
  EXPECT_EQ(grid.rows[1] + 3, grid.rows[2]);
  releaseGrid(grid);
  EXPECT_EQ(nullptr, grid.rows);
  releaseGrid(grid);  // nothing left to release
  // As left by an allocation that failed after the first of three blocks of two rows: that
  // block as allocateGrid makes it (rows of 8 MiB, two to a block), the rest of the table empty.
  TerrainGrid first;
  ASSERT_EQ(Ok, allocateGrid(first, 2, 1 << 19));
  ASSERT_EQ(first.rows[0] + (1 << 19), first.rows[1]);  // one block
  TerrainGrid partly;
  partly.ni = 6;
  partly.nj = 1 << 19;
  partly.rows = static_cast<GridCell**>(std::calloc(6, sizeof(GridCell*)));
  partly.rows[0] = first.rows[0];
  partly.rows[1] = first.rows[1];
  std::free(first.rows);
  releaseGrid(partly);
  EXPECT_EQ(nullptr, partly.rows);
  TerrainGrid neverAllocated;
  neverAllocated.ni = 12;
  releaseGrid(neverAllocated);
}

TEST(Grid, SplitsLargeGridsIntoBlocksOfRows) {
  // Rows of 100000 cells (1.6 MB): ten to a block of 16 MiB, the last block shorter.
  TerrainGrid grid;
  ASSERT_EQ(Ok, allocateGrid(grid, 25, 100000));
  for (int i = 0; i < 25; ++i) {
    if (i % 10 != 0) {
      EXPECT_EQ(grid.rows[i - 1] + 100000, grid.rows[i]) << i;
    }
    grid.rows[i][99999].height = i;  // every row is writable to its end
  }
  EXPECT_EQ(24.0, grid.rows[24][99999].height);
  releaseGrid(grid);
}

TEST(Grid, AllocatesZeroedCells) {
  // A small grid, and one of three blocks (16, 16 and 8 MB) whose memory the allocation may
  // already have touched page by page.
  struct Shape {
    int ni, nj;
  };
  const Shape shapes[] = {{3, 4}, {25, 100000}};
  for (const auto& shape : shapes) {
    Grid g(shape.ni, shape.nj);
    int nonZero = 0;
    for (int i = 0; i < shape.ni; ++i) {
      for (int j = 0; j < shape.nj; ++j) {
        nonZero += g.height(i, j) != 0.0 || g.slope(i, j) != 0.0;
      }
    }
    EXPECT_EQ(0, nonZero) << shape.ni << " x " << shape.nj;
  }
}
#ifdef __linux__
// A grid is reserved, not taken: whatever the verdict on huge pages, a grid of 2 GiB holds
// next to nothing in RAM before values are stored in it (a header's promise costs no memory).
TEST(Grid, TakesNoMemoryAheadOfItsValues) {
  for (const HugePages verdict : {HugePages::Cheap, HugePages::Costly, HugePages::Measure}) {
    setHugePages(verdict);
    const std::uint64_t before = residentBytes();
    TerrainGrid grid;
    ASSERT_EQ(Ok, allocateGrid(grid, 8192, 16384));
    const std::uint64_t grown = residentBytes() - before;
    releaseGrid(grid);
    EXPECT_LT(grown, std::uint64_t{8} << 20) << static_cast<int>(verdict);
  }
  setHugePages(HugePages::Measure);
}
#endif

}  // namespace
}  // namespace trasop
