#include "grid/grid.h"

#include <cstdint>
#include <cstdlib>
#include <limits>

namespace trasop {

void resetHeaderDefaults(GridHeader& header) {
  header.lowb = {-1, -1};
  header.hghb = {-1, -1};
  header.dims = 2;
  header.size = 4;
  header.xmin = 0.0;
  header.ymin = 0.0;
  header.gakrx = 0.0;
  header.gakry = 0.0;
  header.delta = 0.0;
  header.locl = "\"C\"";
  header.form = "\"%5.2f\"";
  header.artp = "\"T\"";
  header.vldf = "\"P\"";
  header.sequ = "\"j-,i+\"";
  header.mode = "\"text\"";
}

namespace {

// The byte size of `count` elements of `size` bytes, if the allocator can be asked for it on
// this platform (a 32-bit build has far less room than the counts allow).
bool byteSize(std::uint64_t count, std::size_t size, std::size_t& bytes) {
  constexpr std::uint64_t kLargest = std::numeric_limits<std::size_t>::max() / 2;
  if (count > kLargest / size) return false;
  bytes = static_cast<std::size_t>(count * size);
  return true;
}

}  // namespace

ResultCode allocateGrid(TerrainGrid& grid, std::int32_t ni, std::int32_t nj) {
  grid.ni = ni;
  grid.nj = nj;
  std::size_t tableBytes = 0;
  std::size_t cellBytes = 0;
  const std::uint64_t cellCount = static_cast<std::uint64_t>(ni) * static_cast<std::uint64_t>(nj);
  if (!byteSize(static_cast<std::uint64_t>(ni), sizeof(GridCell*), tableBytes) ||
      !byteSize(cellCount, sizeof(GridCell), cellBytes)) {
    return OutOfMemory;
  }
  grid.rows = static_cast<GridCell**>(std::malloc(tableBytes));
  if (grid.rows == nullptr) return OutOfMemory;
  // One block for all cells: a large calloc takes fresh pages that the system supplies
  // zero-filled on first use, so nothing is cleared or paid for before the values arrive.
  grid.cells = static_cast<GridCell*>(std::calloc(cellBytes / sizeof(GridCell), sizeof(GridCell)));
  if (grid.cells == nullptr) return OutOfMemory;
  for (std::int32_t i = 0; i < ni; ++i)
    grid.rows[i] = grid.cells + static_cast<std::size_t>(i) * nj;
  return Ok;
}

void releaseGrid(TerrainGrid& grid) {
  std::free(grid.cells);
  std::free(grid.rows);
  grid.cells = nullptr;
  grid.rows = nullptr;
}

}  // namespace trasop
