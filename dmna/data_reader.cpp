// The data section of a dmna file: one value per grid point, in the order of the header.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

#include "dmna/dmna_reader_steps.h"
#include "dmna/line_band.h"

namespace trasop {

namespace {

// Lines across the rows are gathered in bands of this many lines before they go into the grid:
// a band's values then fill at least a page of 4 KiB in each row they reach, so that the memory
// the grid takes follows the values read, also where the data section ends early.
constexpr std::int64_t kBandLines = 256;

// First position of an index that runs with `step` over `count` positions.
std::int64_t firstIndex(int step, std::int64_t count) { return step > 0 ? 0 : count - 1; }

// The values go into the grid's heights in the order `order` gives. `reach(i)` is asked
// before row i is first written and says whether it is there (a grid whose rows are allocated
// as the values reach them); false ends the filling with OutOfMemory, and `taken` then says how
// many values had been read.
template <typename Source, typename Reach>
ResultCode fillGrid(Source& in, const IndexOrder& order, TerrainGrid& grid, Reach reach,
                    std::uint64_t& taken) {
  const std::int64_t ni = grid.ni;
  const std::int64_t nj = grid.nj;
  const std::int64_t iFirst = firstIndex(order.iStep, ni);
  const std::int64_t jFirst = firstIndex(order.jStep, nj);
  if (order.outer == Outer::IOuter) {
    // Lines along the grid's rows: each value goes straight into place.
    for (std::int64_t x = 0, i = iFirst; x < ni; ++x, i += order.iStep) {
      if (!reach(i)) {
        taken = static_cast<std::uint64_t>(x) * static_cast<std::uint64_t>(nj);
        return OutOfMemory;
      }
      GridCell* const row = grid.rows[i];
      for (std::int64_t y = 0, j = jFirst; y < nj; ++y, j += order.jStep) {
        if (!in.readNumber(row[j].height)) return CannotRead;
      }
    }
    return Ok;
  }
  LineBand band(ni, nj, kBandLines);
  if (band.lines() == 0) {
    for (std::int64_t y = 0, j = jFirst; y < nj; ++y, j += order.jStep) {
      for (std::int64_t x = 0, i = iFirst; x < ni; ++x, i += order.iStep) {
        double value = 0.0;
        if (!in.readNumber(value)) return CannotRead;
        if (!reach(i)) {
          taken = static_cast<std::uint64_t>(y * ni + x + 1);
          return OutOfMemory;
        }
        grid.rows[i][j].height = value;
      }
    }
    return Ok;
  }
  std::int64_t lines = 0;
  for (std::int64_t line = 0; line < nj; line += lines) {
    lines = std::min(band.lines(), nj - line);
    for (std::int64_t b = 0; b < lines; ++b) {
      double* const values = band.line(b);
      if (values == nullptr) {
        lines = b;  // the band keeps the lines it has
        break;
      }
      for (std::int64_t x = 0; x < ni; ++x) {
        if (!in.readNumber(values[x])) return CannotRead;
      }
    }
    // Lines across the rows reach every row with the first band.
    for (std::int64_t i = 0; line == 0 && i < ni; ++i) {
      if (!reach(i)) {
        taken = static_cast<std::uint64_t>(lines * ni);
        return OutOfMemory;
      }
    }
    // Into the grid a few lines at a time, so that the lines visited along a row stay in the
    // cache; the whole band has been read first, so that the pages it touches are its own.
    for (std::int64_t b = 0; b < lines; b += LineBand::kMostExchanged) {
      band.exchange(grid, iFirst, order.iStep, jFirst + (line + b) * order.jStep, order.jStep, b,
                    std::min(LineBand::kMostExchanged, lines - b),
                    [](GridCell& cell, double value) { cell.height = value; });
    }
  }
  return Ok;
}

// The first values of a text of unknown size, read before its grid is allocated, then the
// rest of the text.
class Prefixed {
 public:
  explicit Prefixed(TextReader& in) : in_(in) {}

  // Reads `count` values ahead, in memory that grows with them. Returns Ok, CannotRead where
  // the text ends before them, or OutOfMemory where they find no room (`read` then says how
  // many values were read).
  ResultCode readAhead(std::uint64_t count, std::uint64_t& read) {
    double value = 0.0;
    try {
      for (; ahead_.size() < count; ahead_.push_back(value)) {
        if (!in_.readNumber(value)) return CannotRead;
      }
    } catch (const std::bad_alloc&) {
      read = ahead_.size() + 1;
      return OutOfMemory;
    }
    read = count;
    return Ok;
  }

  bool readNumber(double& value) {
    if (next_ == ahead_.size()) return in_.readNumber(value);
    value = ahead_[next_++];
    return true;
  }

 private:
  TextReader& in_;
  std::vector<double> ahead_;
  std::size_t next_ = 0;
};

}  // namespace

ResultCode readGridValues(TextReader& in, const IndexOrder& order, TerrainGrid& grid) {
  std::uint64_t taken = 0;
  const auto allocated = [](std::int64_t) { return true; };
  const ResultCode result = fillGrid(in, order, grid, allocated, taken);
  if (result != Ok) return result;
  return in.failed() ? CannotRead : Ok;
}

ResultCode readIntoGrowingGrid(TextReader& in, const IndexOrder& order, std::int32_t ni,
                               std::int32_t nj, TerrainGrid& grid) {
  const std::uint64_t count = static_cast<std::uint64_t>(ni) * static_cast<std::uint64_t>(nj);
  // The row table and a band of lines take memory in proportion to ni and nj: as many values
  // must have come before they are allocated, so that a header's promise alone costs nothing.
  Prefixed values(in);
  std::uint64_t taken = 0;  // values read before the grid found no more room
  ResultCode result =
      values.readAhead(std::min<std::uint64_t>(count, 16 * std::uint64_t(ni)), taken);
  if (result == CannotRead) return CannotRead;
  // Lines across the rows reach every row with the first of them: small pages, so that the
  // memory taken follows the values that come.
  const Pages pages = order.outer == Outer::IOuter ? Pages::Any : Pages::SmallOnly;
  if (result == Ok) result = allocateRowTable(grid, ni, nj, pages);
  if (result == Ok) {
    const std::uint64_t ahead = taken;
    const auto allocate = [&grid](std::int64_t i) { return allocateRowsOf(grid, i); };
    result = fillGrid(values, order, grid, allocate, taken);
    if (result != OutOfMemory) return result == Ok && in.failed() ? CannotRead : result;
    taken = std::max(taken, ahead);
  }
  // No room for the grid: the rest of the values are only counted, so that a short data
  // section is reported as such, as it is for a file of known size.
  for (double value = 0.0; taken < count; ++taken) {
    if (!in.readNumber(value)) return CannotRead;
  }
  return in.failed() ? CannotRead : OutOfMemory;
}

}  // namespace trasop
