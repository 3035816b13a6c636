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

// True when `count` elements of `elementSize` bytes can be requested from the allocator on
// this platform (a 32-bit build has far less room than the counts allow).
bool fitsAllocation(std::int32_t count, std::size_t elementSize) {
  const std::uint64_t bytes = static_cast<std::uint64_t>(count) * elementSize;
  return bytes <= std::numeric_limits<std::size_t>::max() / 2;
}

}  // namespace

ResultCode allocateGrid(TerrainGrid& grid, std::int32_t ni, std::int32_t nj) {
  grid.ni = ni;
  grid.nj = nj;
  if (!fitsAllocation(ni, sizeof(GridCell*)) || !fitsAllocation(nj, sizeof(GridCell))) {
    return OutOfMemory;
  }
  // calloc leaves untouched pages to the operating system until they are written, so a grid is
  // only paid for as its values arrive.
  grid.rows = static_cast<GridCell**>(std::calloc(static_cast<std::size_t>(ni), sizeof(GridCell*)));
  if (grid.rows == nullptr) return OutOfMemory;
  for (std::int32_t i = 0; i < ni; ++i) {
    grid.rows[i] =
        static_cast<GridCell*>(std::calloc(static_cast<std::size_t>(nj), sizeof(GridCell)));
    if (grid.rows[i] == nullptr) return OutOfMemory;
  }
  return Ok;
}

void releaseGrid(TerrainGrid& grid) {
  if (grid.rows == nullptr) return;
  for (std::int32_t i = 0; i < grid.ni; ++i) std::free(grid.rows[i]);
  std::free(grid.rows);
  grid.rows = nullptr;
}

}  // namespace trasop
