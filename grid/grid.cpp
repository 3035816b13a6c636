#include "grid/grid.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>

// Huge pages for the grid where the system offers them on request; a build can turn the
// request off (-DTRASOP_HUGE_PAGES=0) for comparison.
#if !defined(TRASOP_HUGE_PAGES) && defined(__linux__)
#define TRASOP_HUGE_PAGES 1
#endif
#if TRASOP_HUGE_PAGES
#include <sys/mman.h>

#include <chrono>
#endif

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

HugePages hugePages = HugePages::Measure;

#if TRASOP_HUGE_PAGES
// On Linux the blocks are mapped directly, aligned to and sized in whole 2 MiB pages, and the
// system is asked to back them with such pages: one page fault and one TLB entry where 512
// small pages would need their own, for memory that every pass walks from end to end. Where
// huge pages are off, the request fails quietly and the blocks get small pages, as before.
//
// Huge pages pay off only where the system has them at hand. A virtual machine whose host
// takes back the memory that the guest has freed draws its huge pages from exactly that
// memory; each can then cost twenty times as much as one at hand, and several times as much as
// 2 MiB of small pages. So once per process, at the first block of two huge pages or more, its
// first 2 MiB are taken as small pages and its next 2 MiB as one huge page, each timed; the
// cheaper kind is asked for from then on. Nothing else is taken ahead: each page is backed when
// the reader first stores a value in it, so that memory follows the data, whatever the header
// promised.
constexpr std::size_t kHugePage = std::size_t{2} << 20;
constexpr std::size_t kSmallPage = 4096;

using Clock = std::chrono::steady_clock;

std::size_t mappedBytes(std::size_t bytes) { return (bytes + kHugePage - 1) & ~(kHugePage - 1); }

// Makes the system back [first, first + bytes) of fresh, zero-filled memory by writing a zero
// into each of its small pages; returns how long that took.
Clock::duration takePages(char* first, std::size_t bytes) {
  const Clock::time_point start = Clock::now();
  for (std::size_t offset = 0; offset < bytes; offset += kSmallPage) {
    *static_cast<volatile char*>(first + offset) = 0;
  }
  return Clock::now() - start;
}

// Asks for the pages of a new block, of `bytes` used and `size` mapped, as above.
void adviseBlock(char* block, std::size_t bytes, std::size_t size, Pages pages) {
  if (pages == Pages::SmallOnly) {
    madvise(block, size, MADV_NOHUGEPAGE);
    return;
  }
  std::size_t measured = 0;
  if (hugePages == HugePages::Measure && bytes >= 2 * kHugePage) {
    madvise(block, kHugePage, MADV_NOHUGEPAGE);
    const Clock::duration small = takePages(block, kHugePage);
    madvise(block + kHugePage, kHugePage, MADV_HUGEPAGE);
    const Clock::duration huge = takePages(block + kHugePage, kHugePage);
    hugePages = huge <= small ? HugePages::Cheap : HugePages::Costly;
    measured = 2 * kHugePage;
  }
  // Before any verdict only small grids come here, which cost little either way.
  madvise(block + measured, size - measured,
          hugePages == HugePages::Costly ? MADV_NOHUGEPAGE : MADV_HUGEPAGE);
}

void* allocateBlock(std::size_t bytes, Pages pages) {
  const std::size_t size = mappedBytes(bytes);
  if (size < bytes) return nullptr;
  // Room for the size and one page more, so that an aligned start is inside; the rest goes.
  void* const mapped =
      mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return nullptr;
  char* const raw = static_cast<char*>(mapped);
  const std::uintptr_t address = reinterpret_cast<std::uintptr_t>(raw);
  char* const block = raw + (((address + kHugePage - 1) & ~(kHugePage - 1)) - address);
  if (block > raw) munmap(raw, static_cast<std::size_t>(block - raw));
  char* const end = block + size;
  if (end < raw + size + kHugePage)
    munmap(end, static_cast<std::size_t>(raw + size + kHugePage - end));
  adviseBlock(block, bytes, size, pages);
  return block;
}

void releaseBlock(void* block, std::size_t bytes) { munmap(block, mappedBytes(bytes)); }
#else
void* allocateBlock(std::size_t bytes, Pages) { return std::calloc(bytes, 1); }
void releaseBlock(void* block, std::size_t) { std::free(block); }
#endif

// The rows of one block: as many as fill kBlockBytes, at least one. Follows from nj alone.
std::int64_t rowsPerBlock(std::int32_t nj) {
  const std::uint64_t rowBytes = static_cast<std::uint64_t>(nj) * sizeof(GridCell);
  return static_cast<std::int64_t>(std::max<std::uint64_t>(kBlockBytes / rowBytes, 1));
}

}  // namespace

void setHugePages(HugePages verdict) { hugePages = verdict; }

ResultCode allocateRowTable(TerrainGrid& grid, std::int32_t ni, std::int32_t nj, Pages pages) {
  grid.ni = ni;
  grid.nj = nj;
  grid.pages = pages;
  // The table and one row are single allocations; a block's size is checked as it is made.
  std::size_t tableBytes = 0;
  std::size_t rowBytes = 0;
  if (!byteSize(static_cast<std::uint64_t>(ni), kRowPointerBytes, tableBytes) ||
      !byteSize(static_cast<std::uint64_t>(nj), sizeof(GridCell), rowBytes)) {
    return OutOfMemory;
  }
  grid.rows = static_cast<GridCell**>(std::calloc(static_cast<std::size_t>(ni), kRowPointerBytes));
  return grid.rows != nullptr ? Ok : OutOfMemory;
}

bool allocateRowsOf(TerrainGrid& grid, std::int64_t i) {
  const std::int64_t perBlock = rowsPerBlock(grid.nj);
  const std::int64_t first = i - i % perBlock;
  if (grid.rows[first] != nullptr) return true;
  const std::int64_t count = std::min<std::int64_t>(perBlock, grid.ni - first);
  std::size_t bytes = 0;
  if (!byteSize(static_cast<std::uint64_t>(count) * static_cast<std::uint64_t>(grid.nj),
                sizeof(GridCell), bytes)) {
    return false;
  }
  GridCell* const block = static_cast<GridCell*>(allocateBlock(bytes, grid.pages));
  if (block == nullptr) return false;
  for (std::int64_t k = 0; k < count; ++k) {
    grid.rows[first + k] = block + static_cast<std::size_t>(k) * static_cast<std::size_t>(grid.nj);
  }
  return true;
}

ResultCode allocateGrid(TerrainGrid& grid, std::int32_t ni, std::int32_t nj, Pages pages) {
  const ResultCode table = allocateRowTable(grid, ni, nj, pages);
  if (table != Ok) return table;
  const std::int64_t perBlock = rowsPerBlock(nj);
  for (std::int64_t first = 0; first < ni; first += perBlock) {
    if (!allocateRowsOf(grid, first)) return OutOfMemory;
  }
  return Ok;
}

void releaseGrid(TerrainGrid& grid) {
  if (grid.rows == nullptr) return;
  const std::int64_t perBlock = rowsPerBlock(grid.nj);
  const std::size_t rowBytes = static_cast<std::size_t>(grid.nj) * sizeof(GridCell);
  for (std::int64_t first = 0; first < grid.ni; first += perBlock) {
    // Each block is owned by its first row.
    if (grid.rows[first] != nullptr) {
      const std::int64_t count = std::min<std::int64_t>(perBlock, grid.ni - first);
      releaseBlock(grid.rows[first], static_cast<std::size_t>(count) * rowBytes);
    }
  }
  std::free(static_cast<void*>(grid.rows));
  grid.rows = nullptr;
}

}  // namespace trasop
