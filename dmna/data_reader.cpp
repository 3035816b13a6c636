// The data section of a dmna file: one value per grid point, in the order of the header.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "dmna/dmna_reader_steps.h"
#include "dmna/line_band.h"

namespace trasop {

namespace {

// First position of an index that runs with `step` over `count` positions.
std::int64_t firstIndex(int step, std::int64_t count) { return step > 0 ? 0 : count - 1; }

// The values, from the text or from where they were gathered (Source::readNumber), go into
// the grid's heights in the order `order` gives.
template <typename Source>
ResultCode fillGrid(Source& in, const IndexOrder& order, TerrainGrid& grid) {
  const std::int64_t ni = grid.ni;
  const std::int64_t nj = grid.nj;
  const std::int64_t iFirst = firstIndex(order.iStep, ni);
  const std::int64_t jFirst = firstIndex(order.jStep, nj);
  if (order.outer == Outer::IOuter) {
    // Lines along the grid's rows: each value goes straight into place.
    for (std::int64_t x = 0, i = iFirst; x < ni; ++x, i += order.iStep) {
      GridCell* const row = grid.rows[i];
      for (std::int64_t y = 0, j = jFirst; y < nj; ++y, j += order.jStep) {
        if (!in.readNumber(row[j].height)) return CannotRead;
      }
    }
    return Ok;
  }
  LineBand band(ni, nj);
  if (band.lines() == 0) {
    for (std::int64_t y = 0, j = jFirst; y < nj; ++y, j += order.jStep) {
      for (std::int64_t x = 0, i = iFirst; x < ni; ++x, i += order.iStep) {
        if (!in.readNumber(grid.rows[i][j].height)) return CannotRead;
      }
    }
    return Ok;
  }
  for (std::int64_t line = 0; line < nj; line += band.lines()) {
    const std::int64_t lines = std::min(band.lines(), nj - line);
    for (std::int64_t b = 0; b < lines; ++b) {
      double* const values = band.line(b);
      for (std::int64_t x = 0; x < ni; ++x) {
        if (!in.readNumber(values[x])) return CannotRead;
      }
    }
    band.exchange(grid, iFirst, order.iStep, jFirst + line * order.jStep, order.jStep, lines,
                  [](GridCell& cell, double value) { cell.height = value; });
  }
  return Ok;
}

// Values gathered in blocks as they come, and handed out again in the same order, each block
// given back once it has been handed out: memory grows with the data, not with a header's
// promise, and the values and the grid they go into are not both held whole.
class GatheredValues {
 public:
  static constexpr std::size_t kBlockValues = std::size_t{1} << 16;

  // Adds one value; false when there is no room for it.
  bool add(double value) {
    if (used_ == kBlockValues || blocks_.empty()) {
      std::unique_ptr<double[]> block(new (std::nothrow) double[kBlockValues]);
      if (!block) return false;
      blocks_.push_back(std::move(block));
      used_ = 0;
    }
    blocks_.back()[used_++] = value;
    return true;
  }

  // The next value in the order they were added.
  bool readNumber(double& value) {
    if (next_ == kBlockValues) {
      blocks_[block_++].reset();
      next_ = 0;
    }
    value = blocks_[block_][next_++];
    return true;
  }

 private:
  std::vector<std::unique_ptr<double[]>> blocks_;
  std::size_t used_ = 0;   // values in the last block
  std::size_t block_ = 0;  // the block the next value is handed out from
  std::size_t next_ = 0;   // its place there
};

}  // namespace

ResultCode readGridValues(TextReader& in, const IndexOrder& order, TerrainGrid& grid) {
  const ResultCode result = fillGrid(in, order, grid);
  if (result != Ok) return result;
  return in.failed() ? CannotRead : Ok;
}

ResultCode readValuesThenGrid(TextReader& in, const IndexOrder& order, std::int32_t ni,
                              std::int32_t nj, TerrainGrid& grid) {
  const std::uint64_t count = static_cast<std::uint64_t>(ni) * static_cast<std::uint64_t>(nj);
  std::size_t bytes = 0;
  if (!byteSize(count, sizeof(GridCell), bytes)) return OutOfMemory;
  GatheredValues values;
  for (std::uint64_t k = 0; k < count; ++k) {
    double value = 0.0;
    if (!in.readNumber(value)) return CannotRead;
    if (!values.add(value)) return OutOfMemory;
  }
  if (in.failed()) return CannotRead;
  const ResultCode allocated = allocateGrid(grid, ni, nj);
  if (allocated != Ok) return allocated;
  return fillGrid(values, order, grid);
}

}  // namespace trasop
