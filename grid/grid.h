// The records one run shares: the header values of the input grid, the order of the values in
// a data section, and the grid of cells with their heights and slopes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "app/result_code.h"

namespace trasop {

// A pair of grid indices: i is the first index, j the second.
struct IndexPair {
  // Bounds are held wider than the 32 bits they may take, so that a header value beyond that
  // range is detected by the bounds check instead of wrapping around.
  std::int64_t i;
  std::int64_t j;
};

struct GridHeader {
  IndexPair lowb;  // lowest index of each grid index
  IndexPair hghb;  // highest index of each grid index
  std::int32_t dims;
  std::int32_t size;
  double xmin;
  double ymin;
  double gakrx;
  double gakry;
  double delta;  // distance between adjacent grid points
  std::string locl;
  std::string form;
  std::string artp;
  std::string vldf;
  std::string sequ;  // the order text as it stood in the input, lower case
  std::string mode;
};

enum class Outer : std::int8_t { Unset = -1, JOuter = 0, IOuter = 1 };

// Order of the values in a data section: which index runs in the outer loop, and the direction
// (+1 or -1) in which each index runs.
struct IndexOrder {
  Outer outer = Outer::Unset;
  int iStep = 1;
  int jStep = 1;
};

struct GridCell {
  double height;
  double slope;
};

// The pages a grid may take. Where its values come across the rows (each line of values
// touches every row) from a text that may end before them (one whose size is not known), a huge
// page would be backed for every few rows with the first lines of values, far ahead of the
// data: such a grid takes small pages only, each backed once values reach it.
enum class Pages : std::int8_t { Any, SmallOnly };

// A rectangular grid of ni x nj cells. rows[i] holds the nj cells of first index i; cell (i, j)
// stands for the grid point (lowb.i + i, lowb.j + j). The rows are allocated in blocks of
// consecutive rows, as many as fill 16 MiB (at least one); the first row of a block owns the
// block.
struct TerrainGrid {
  std::int32_t ni = 0;
  std::int32_t nj = 0;
  GridCell** rows = nullptr;
  Pages pages = Pages::Any;  // set by the allocation
};

// The byte size of `count` elements of `size` bytes, if the allocator can be asked for it on
// this platform in one allocation (a 32-bit build has far less room than the counts allow):
// every product of counts that becomes one allocation goes through here.
bool byteSize(std::uint64_t count, std::size_t size, std::size_t& bytes);

// Sets every field of `header` to its default; the order of values is not touched.
void resetHeaderDefaults(GridHeader& header);

// Allocates the row table and ni rows of nj cells, all heights and slopes 0.0. The memory is
// only reserved: the system backs each page when a value is first stored in it.
// REQUIRES: grid holds no table yet; ni, nj > 0.
// `pages` says which pages the grid may take (see Pages).
// Returns Ok, or OutOfMemory when a size cannot be represented or an allocation fails; the
// rows allocated before the failure stay in the table for releaseGrid.
ResultCode allocateGrid(TerrainGrid& grid, std::int32_t ni, std::int32_t nj,
                        Pages pages = Pages::Any);

// Allocates the row table alone, every row missing, for a grid whose rows are allocated as
// they are reached (allocateRowsOf). REQUIRES and returns as allocateGrid.
ResultCode allocateRowTable(TerrainGrid& grid, std::int32_t ni, std::int32_t nj,
                            Pages pages = Pages::Any);

// Allocates the block of rows that holds row `i`, where it is missing; all its cells 0.0.
// REQUIRES: the row table allocated; 0 <= i < ni. Returns false where the block finds no room.
bool allocateRowsOf(TerrainGrid& grid, std::int64_t i);

// For tests only: whether the blocks of a grid that may take any pages ask for huge pages.
// Measure (the default) times one huge page against 2 MiB of small pages, once per process, at
// the first such block large enough.
enum class HugePages : std::int8_t { Measure, Cheap, Costly };
void setHugePages(HugePages verdict);

// Releases every block of rows present in the table, then the table. Does nothing when no
// table was allocated. The grid holds no table afterwards.
void releaseGrid(TerrainGrid& grid);

}  // namespace trasop
