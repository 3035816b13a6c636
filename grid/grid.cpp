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

bool byteSize(std::uint64_t count, std::size_t size, std::size_t& bytes) {
  constexpr std::uint64_t kLargest = std::numeric_limits<std::size_t>::max() / 2;
  if (count > kLargest / size) return false;
  bytes = static_cast<std::size_t>(count * size);
  return true;
}

namespace {

// Rows are allocated in blocks of about this size: large enough that the allocator takes
// fresh pages from the system, which come zero-filled and cost nothing until they are first
// written; small enough that a 32-bit process finds room for each in its address space.
constexpr std::size_t kBlockBytes = std::size_t{16} << 20;

// The row table holds one pointer per row.
constexpr std::size_t kRowPointerBytes = sizeof(GridCell*);  // NOLINT(bugprone-sizeof-expression)

// The rows of one block: as many as fill kBlockBytes, at least one. Follows from nj alone.
std::int64_t rowsPerBlock(std::int32_t nj) {
  const std::uint64_t rowBytes = static_cast<std::uint64_t>(nj) * sizeof(GridCell);
  return static_cast<std::int64_t>(std::max<std::uint64_t>(kBlockBytes / rowBytes, 1));
}

}  // namespace

ResultCode allocateGrid(TerrainGrid& grid, std::int32_t ni, std::int32_t nj) {
  grid.ni = ni;
  grid.nj = nj;
  std::size_t tableBytes = 0;
  std::size_t rowBytes = 0;
  std::size_t gridBytes = 0;
  if (!byteSize(static_cast<std::uint64_t>(ni), kRowPointerBytes, tableBytes) ||
      !byteSize(static_cast<std::uint64_t>(nj), sizeof(GridCell), rowBytes) ||
      !byteSize(static_cast<std::uint64_t>(ni), rowBytes, gridBytes)) {
    return OutOfMemory;
  }
  // Blocks come zero-filled from the C library; large ones are fresh pages from the system,
  // which cost nothing until the reader first writes them.
  grid.rows = static_cast<GridCell**>(std::calloc(static_cast<std::size_t>(ni), kRowPointerBytes));
  if (grid.rows == nullptr) return OutOfMemory;
  const std::int64_t perBlock = rowsPerBlock(nj);
  for (std::int64_t first = 0; first < ni; first += perBlock) {
    const std::int64_t count = std::min<std::int64_t>(perBlock, ni - first);
    GridCell* const block =
        static_cast<GridCell*>(std::calloc(static_cast<std::size_t>(count) * rowBytes, 1));
    if (block == nullptr) return OutOfMemory;
    for (std::int64_t k = 0; k < count; ++k) {
      grid.rows[first + k] = block + static_cast<std::size_t>(k) * static_cast<std::size_t>(nj);
    }
  }
  return Ok;
}

void releaseGrid(TerrainGrid& grid) {
  if (grid.rows == nullptr) return;
  const std::int64_t perBlock = rowsPerBlock(grid.nj);
  for (std::int64_t first = 0; first < grid.ni; first += perBlock) {
    std::free(grid.rows[first]);  // each block is owned by its first row
  }
  std::free(static_cast<void*>(grid.rows));
  grid.rows = nullptr;
}

}  // namespace trasop
