// Reading the data section into the grid, and the slopes computed from it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "dmna/dmna_reader.h"
#include "terrain/slope.h"

namespace trasop {
namespace {

// Owns a grid for one test.
struct Grid {
  Grid(int ni, int nj) { EXPECT_EQ(Ok, allocateGrid(grid, ni, nj)); }
  ~Grid() { releaseGrid(grid); }
  double& height(int i, int j) { return grid.rows[i][j].height; }
  double slope(int i, int j) const { return grid.rows[i][j].slope; }
  TerrainGrid grid;
};

IndexOrder orderOf(Outer outer, int iStep, int jStep) {
  IndexOrder order;
  order.outer = outer;
  order.iStep = iStep;
  order.jStep = jStep;
  return order;
}

struct FillCase {
  IndexOrder order;
  // Cells (i, j) as 10 * i + j, in the order the tokens 1, 2, 3, ... fill them.
  std::vector<int> cells;
};

TEST(ReadGridValues, FillsTheCellsInTheOrderOfTheHeader) {
  const FillCase cases[] = {
      {orderOf(Outer::JOuter, 1, -1), {2, 12, 22, 1, 11, 21, 0, 10, 20}},
      {orderOf(Outer::JOuter, 1, 1), {0, 10, 20, 1, 11, 21, 2, 12, 22}},
      {orderOf(Outer::JOuter, -1, 1), {20, 10, 0, 21, 11, 1, 22, 12, 2}},
      {orderOf(Outer::JOuter, -1, -1), {22, 12, 2, 21, 11, 1, 20, 10, 0}},
      {orderOf(Outer::IOuter, 1, 1), {0, 1, 2, 10, 11, 12, 20, 21, 22}},
      {orderOf(Outer::IOuter, 1, -1), {2, 1, 0, 12, 11, 10, 22, 21, 20}},
      {orderOf(Outer::IOuter, -1, 1), {20, 21, 22, 10, 11, 12, 0, 1, 2}},
      {orderOf(Outer::IOuter, -1, -1), {22, 21, 20, 12, 11, 10, 2, 1, 0}},
  };
  for (const FillCase& c : cases) {
    Grid g(3, 3);
    TextReader in("1 2 3\n4 5 6\n7 8 9\n");
    ASSERT_EQ(Ok, readGridValues(in, c.order, g.grid));
    for (std::size_t n = 0; n < c.cells.size(); ++n) {
      EXPECT_EQ(n + 1.0, g.height(c.cells[n] / 10, c.cells[n] % 10))
          << "outer " << static_cast<int>(c.order.outer) << " steps " << c.order.iStep << ' '
          << c.order.jStep << " token " << n + 1;
    }
  }
}

TEST(ReadGridValues, IgnoresLineStructureAndWhatFollowsTheValues) {
  const IndexOrder order = orderOf(Outer::IOuter, 1, 1);
  for (const char* text :
       {"1 2 3 4 5 6 7 8 9", "1\n2\n3\n4\n5\n6\n7\n8\n9\n***\n",
        "\t1 2\r\n3 4 5 6 7\n\n 8\f9 10 11", "1 2 3 4 5 6 7 8 9 garbage\0\x01"}) {
    Grid g(3, 3);
    TextReader in(text);
    ASSERT_EQ(Ok, readGridValues(in, order, g.grid)) << text;
    EXPECT_EQ(1.0, g.height(0, 0)) << text;
    EXPECT_EQ(5.0, g.height(1, 1)) << text;
    EXPECT_EQ(9.0, g.height(2, 2)) << text;
  }
}

TEST(ReadGridValues, ConvertsEveryTokenWithTheNumberSyntax) {
  Grid g(3, 3);
  TextReader in("-12 abc 1.5D2 1.0E+02 nan inf 2.5d1 0x1A .5e1");
  ASSERT_EQ(Ok, readGridValues(in, orderOf(Outer::IOuter, 1, 1), g.grid));
  const double expected[] = {-12.0, 0.0, 150.0, 100.0, 0.0, 0.0, 25.0, 0.0, 5.0};
  for (int n = 0; n < 9; ++n) EXPECT_EQ(expected[n], g.height(n / 3, n % 3)) << n;
}

TEST(ReadGridValues, ReportsAShortDataSection) {
  for (const char* text : {"", "***", "1 2 3 4 5 6 7 8", "1 2 3 4 5 6 7 8\x1a 9"}) {
    Grid g(3, 3);
    TextReader in(text);
    EXPECT_EQ(CannotRead, readGridValues(in, orderOf(Outer::JOuter, 1, -1), g.grid)) << text;
  }
}

// Fills a grid with heights from a function of (i, j) and computes its slopes.
template <typename Height>
void computeOn(Grid& g, double delta, Height height) {
  for (int i = 0; i < g.grid.ni; ++i) {
    for (int j = 0; j < g.grid.nj; ++j) g.height(i, j) = height(i, j);
  }
  computeSlopes(g.grid, delta);
}

TEST(ComputeSlopes, GivesTheSteeperAxisGradientOfAnalyticSurfaces) {
  struct PlaneCase {
    double perI;
    double perJ;
    double delta;
    double slope;
  };
  const PlaneCase cases[] = {
      {0.0, 0.0, 1.0, 0.0}, {1.0, 0.0, 1.0, 1.0},  {1.0, 0.0, 10.0, 0.1},    {0.0, -2.0, 1.0, 2.0},
      {3.0, 4.0, 1.0, 4.0}, {-4.0, 3.0, 1.0, 4.0}, {1.25, 0.0, 10.0, 0.125},
  };
  for (const PlaneCase& c : cases) {
    Grid g(5, 6);
    computeOn(g, c.delta, [&](int i, int j) { return 100.0 + c.perI * i + c.perJ * j; });
    for (int i = 0; i < 5; ++i) {
      for (int j = 0; j < 6; ++j) {
        const bool interior = i > 0 && i < 4 && j > 0 && j < 5;
        EXPECT_EQ(interior ? c.slope : 0.0, g.slope(i, j))
            << c.perI << ' ' << c.perJ << ' ' << c.delta << " at " << i << ',' << j;
      }
    }
  }
}

TEST(ComputeSlopes, MultipliesByTheRoundedReciprocal) {
  // |a - b| * (1 / (2 * delta)) and |a - b| / (2 * delta) differ here in the last bit.
  Grid g(3, 3);
  computeOn(g, 3.0, [](int i, int) { return i == 2 ? 7.0 : 0.0; });
  const double k = 1.0 / 6.0;
  EXPECT_EQ(7.0 * k, g.slope(1, 1));
  EXPECT_NE(7.0 / 6.0, g.slope(1, 1));
}

TEST(ComputeSlopes, UsesOnlyTheFourNeighboursOfTheSmallestGrid) {
  Grid g(3, 3);
  // Corners and the centre do not count.
  computeOn(g, 0.5, [](int i, int j) {
    const double heights[3][3] = {{1000.0, 2.0, -1000.0}, {5.0, 77.0, 1.0}, {500.0, 4.5, 1e9}};
    return heights[i][j];
  });
  EXPECT_EQ(4.0, g.slope(1, 1));  // max(|2 - 4.5|, |5 - 1|) / 1
}

TEST(ComputeSlopes, ARaisedPointTiltsItsFourNeighboursOnly) {
  Grid g(5, 5);
  computeOn(g, 2.0, [](int i, int j) { return i == 2 && j == 2 ? 8.0 : 0.0; });
  for (int i = 1; i < 4; ++i) {
    for (int j = 1; j < 4; ++j) {
      const bool neighbour = (i == 2) != (j == 2);
      EXPECT_EQ(neighbour ? 2.0 : 0.0, g.slope(i, j)) << i << ',' << j;
    }
  }
}

TEST(ComputeSlopes, NeverStoresANotANumber) {
  Grid g(3, 3);
  const double inf = std::numeric_limits<double>::infinity();
  computeOn(g, 1.0, [&](int i, int j) { return (i + j) % 2 == 1 ? inf : 0.0; });
  EXPECT_EQ(0.0, g.slope(1, 1));  // inf - inf on both axes
}

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
  ASSERT_EQ(2, first.rowsPerBlock);
  TerrainGrid partly;
  partly.ni = 6;
  partly.nj = 1 << 19;
  partly.rowsPerBlock = 2;
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
  EXPECT_EQ(10, grid.rowsPerBlock);
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
  Grid g(3, 4);
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 4; ++j) {
      EXPECT_EQ(0.0, g.grid.rows[i][j].height);
      EXPECT_EQ(0.0, g.slope(i, j));
    }
  }
}

}  // namespace
}  // namespace trasop
