#include "grid/grid.h"

#include <algorithm>
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

// Rows are allocated in blocks of about this size: large enough that the allocator takes
// fresh pages from the system, which come zero-filled and cost nothing until they are first
// written; small enough that a 32-bit process finds room for each in its address space.
constexpr std::size_t kBlockBytes = std::size_t{16} << 20;

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
  std::size_t rowBytes = 0;
  if (!byteSize(static_cast<std::uint64_t>(ni), sizeof(GridCell*), tableBytes) ||
      !byteSize(static_cast<std::uint64_t>(nj), sizeof(GridCell), rowBytes)) {
    return OutOfMemory;
  }
  grid.rowsPerBlock =
      static_cast<std::int32_t>(std::clamp<std::size_t>(kBlockBytes / rowBytes, 1, ni));
  grid.rows = static_cast<GridCell**>(std::calloc(static_cast<std::size_t>(ni), sizeof(GridCell*)));
  if (grid.rows == nullptr) return OutOfMemory;
  for (std::int32_t first = 0; first < ni; first += grid.rowsPerBlock) {
    const std::int32_t count = std::min(grid.rowsPerBlock, ni - first);
    GridCell* const block = static_cast<GridCell*>(std::calloc(
        static_cast<std::size_t>(count) * static_cast<std::size_t>(nj), sizeof(GridCell)));
    if (block == nullptr) return OutOfMemory;
    for (std::int32_t k = 0; k < count; ++k) {
      grid.rows[first + k] = block + static_cast<std::size_t>(k) * static_cast<std::size_t>(nj);
    }
  }
  return Ok;
}

void releaseGrid(TerrainGrid& grid) {
  if (grid.rows == nullptr) return;
  for (std::int32_t first = 0; first < grid.ni; first += grid.rowsPerBlock) {
    std::free(grid.rows[first]);
  }
  std::free(grid.rows);
  grid.rows = nullptr;
}

}  // namespace trasop
