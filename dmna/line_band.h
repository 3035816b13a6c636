// Lines of values that run across the grid's rows (the second index in the outer loop), for
// the reader and the writer. Taken one value at a time, such lines would visit another row with
// every value. A band of lines is filled line by line on the text's side and exchanged with the
// grid row by row, so that each row is visited once per band instead of once per value.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "grid/grid.h"

namespace trasop {

class LineBand {
 public:
  // The lines one exchange takes: as many as a row's visits keep in the cache.
  static constexpr std::int64_t kMostExchanged = 16;

  // A band of up to min(most, lineCount) lines of `length` values each. Only the first line is
  // allocated now, the others when they are first asked for, so that the band's memory grows
  // with the values put into it. lines() == 0 when not even the first line can be had: the
  // lines are then taken value by value.
  LineBand(std::int64_t length, std::int64_t lineCount, std::int64_t most) : length_(length) {
    const std::int64_t lines = std::min(most, lineCount);
    std::size_t bytes = 0;
    if (lines <= 0 || !byteSize(static_cast<std::uint64_t>(length), sizeof(double), bytes)) return;
    try {
      lines_.reserve(static_cast<std::size_t>(lines));
    } catch (const std::bad_alloc&) {
      return;
    }
    most_ = lines;
    if (line(0) == nullptr) most_ = 0;
  }

  std::int64_t lines() const { return most_; }

  // The values of line `b` of the band, allocated where this is its first use. Where no room is
  // left for it, nullptr, and the band keeps the b lines it has: lines() == b from then on.
  // REQUIRES: 0 <= b < lines().
  double* line(std::int64_t b) {
    const std::size_t index = static_cast<std::size_t>(b);
    if (index == lines_.size()) {
      std::unique_ptr<double[]> values(
          new (std::nothrow) double[static_cast<std::size_t>(length_)]);
      if (!values) {
        most_ = b;
        return nullptr;
      }
      lines_.push_back(std::move(values));  // never reallocates: room for every line is reserved
    }
    return lines_[index].get();
  }

  // Asks for the first `lines` lines (REQUIRES: 0 < lines <= lines()) and returns how many of
  // them the band holds: all of them, or as many as found room (at least the first).
  std::int64_t take(std::int64_t lines) {
    for (std::int64_t b = 0; b < lines; ++b) {
      if (line(b) == nullptr) return b;
    }
    return lines;
  }

  // Calls move(cell, value) for each value of the band's lines from `firstLine` on, `lines` of
  // them, and the cell it stands for: value x of line firstLine + b is the cell
  // (iFirst + x * iStep, jFirst + b * jStep). The grid is walked row by row.
  // REQUIRES: those lines have been asked for; lines <= kMostExchanged.
  template <typename Grid, typename Move>
  void exchange(Grid& grid, std::int64_t iFirst, int iStep, std::int64_t jFirst, int jStep,
                std::int64_t firstLine, std::int64_t lines, Move move) {
    double* values[kMostExchanged];
    const std::int64_t count = std::min(lines, kMostExchanged);
    for (std::int64_t b = 0; b < count; ++b) {
      values[b] = lines_[static_cast<std::size_t>(firstLine + b)].get();
    }
    std::int64_t i = iFirst;
    for (std::int64_t x = 0; x < length_; ++x, i += iStep) {
      auto* const row = grid.rows[i];
      std::int64_t j = jFirst;
      for (std::int64_t b = 0; b < count; ++b, j += jStep) move(row[j], values[b][x]);
    }
  }

 private:
  std::int64_t length_;
  std::int64_t most_ = 0;
  std::vector<std::unique_ptr<double[]>> lines_;
};

}  // namespace trasop
