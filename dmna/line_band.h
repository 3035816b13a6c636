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

#include "grid/grid.h"

namespace trasop {

class LineBand {
 public:
  // A band of lines of `length` values each: min(16, lineCount) lines, or as many of those as
  // memory allows; none at all (lines() == 0) when not even one line can be had, and the lines
  // are then taken value by value.
  LineBand(std::int64_t length, std::int64_t lineCount) : length_(length) {
    for (std::int64_t lines = std::min<std::int64_t>(16, lineCount); lines > 0; lines /= 2) {
      std::size_t bytes = 0;
      if (!byteSize(static_cast<std::uint64_t>(lines) * static_cast<std::uint64_t>(length),
                    sizeof(double), bytes)) {
        continue;
      }
      values_.reset(new (std::nothrow) double[bytes / sizeof(double)]);
      if (values_) {
        lines_ = lines;
        return;
      }
    }
  }

  std::int64_t lines() const { return lines_; }

  // The values of line `b` of the band.
  double* line(std::int64_t b) { return values_.get() + b * length_; }

  // Calls move(cell, value) for each value of the band's first `lines` lines and the cell it
  // stands for: value x of line b is the cell (iFirst + x * iStep, jFirst + b * jStep). The
  // grid is walked row by row.
  template <typename Grid, typename Move>
  void exchange(Grid& grid, std::int64_t iFirst, int iStep, std::int64_t jFirst, int jStep,
                std::int64_t lines, Move move) {
    std::int64_t i = iFirst;
    for (std::int64_t x = 0; x < length_; ++x, i += iStep) {
      auto* const row = grid.rows[i];
      std::int64_t j = jFirst;
      for (std::int64_t b = 0; b < lines; ++b, j += jStep) move(row[j], values_[b * length_ + x]);
    }
  }

 private:
  std::int64_t length_;
  std::int64_t lines_ = 0;
  std::unique_ptr<double[]> values_;
};

}  // namespace trasop
