// The class of every interior cell in a byte, found once by the survey, so that the regions,
// the figure and the class raster need not look at the slopes again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace trasop {

// Cell (i, j) of a grid (1 <= i <= ni - 2, 1 <= j <= nj - 2) holds its class plus one, or
// kOutsideArea where its point lies outside the computational area.
constexpr std::uint8_t kOutsideArea = 0;

struct ClassMap {
  std::int64_t alongI = 0;  // interior cells along each index: ni - 2, nj - 2
  std::int64_t alongJ = 0;
  std::vector<std::uint8_t> cells;  // one line of alongJ cells for each i, i = 1 first

  // The line of first index i; its element j - 1 is cell (i, j).
  std::uint8_t* line(std::int64_t i) {
    return cells.data() + static_cast<std::size_t>(i - 1) * static_cast<std::size_t>(alongJ);
  }
  const std::uint8_t* line(std::int64_t i) const {
    return cells.data() + static_cast<std::size_t>(i - 1) * static_cast<std::size_t>(alongJ);
  }
};

}  // namespace trasop
