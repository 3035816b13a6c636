#include "map/reduction.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

#include "map/thresholds.h"

namespace trasop {

bool reduceClasses(const ClassMap& classes, std::int64_t block, int classCount, int reach,
                   ReducedMap& map) {
  // Entries of the class map: kOutsideArea, then each class plus one.
  constexpr std::size_t kEntries = kMostThresholds + 2;
  const std::int64_t cellsWide = classes.alongI;
  const std::int64_t cellsHigh = classes.alongJ;
  map.wide = static_cast<int>((cellsWide + block - 1) / block);
  map.high = static_cast<int>((cellsHigh + block - 1) / block);
  const auto steepest = static_cast<std::uint8_t>(classCount + 1);
  try {
    const std::size_t blocks = static_cast<std::size_t>(map.wide) * map.high;
    map.shown.assign(blocks, kOutsideArea);
    map.marked.assign(blocks, 0);
    // For a column of blocks: how many cells of each entry each line j holds, over the block's
    // lines of i; then summed over each block's run of j.
    std::vector<std::uint32_t> counts(static_cast<std::size_t>(cellsHigh) * kEntries);
    for (int column = 0; column < map.wide; ++column) {
      std::fill(counts.begin(), counts.end(), 0);
      const std::int64_t first = 1 + column * block;
      const std::int64_t last = std::min(first + block - 1, cellsWide);
      for (std::int64_t i = first; i <= last; ++i) {
        const std::uint8_t* const cells = classes.line(i);
        for (std::int64_t j = 0; j < cellsHigh; ++j) {
          ++counts[static_cast<std::size_t>(j) * kEntries + cells[j]];
        }
      }
      // Block line 0 is the northmost: cells cellsHigh down to cellsHigh - block + 1.
      for (int line = 0; line < map.high; ++line) {
        const std::int64_t top = cellsHigh - static_cast<std::int64_t>(line) * block;
        const std::int64_t bottom = std::max<std::int64_t>(1, top - block + 1);
        std::uint64_t total[kEntries] = {};
        for (std::int64_t j = bottom - 1; j < top; ++j) {
          for (std::size_t e = 0; e < kEntries; ++e) {
            total[e] += counts[static_cast<std::size_t>(j) * kEntries + e];
          }
        }
        std::uint8_t most = kOutsideArea;
        for (std::uint8_t e = 1; e <= steepest; ++e) {
          if (total[e] >= total[most]) most = e;  // a tie goes to the steeper
        }
        const std::size_t at = static_cast<std::size_t>(line) * map.wide + column;
        map.shown[at] = most;
        map.marked[at] = total[steepest] > 0 && most != steepest;
      }
    }
    // A mark only where the steepest class is not shown within reach.
    for (int line = 0; line < map.high; ++line) {
      for (int column = 0; column < map.wide; ++column) {
        std::uint8_t& marked = map.marked[static_cast<std::size_t>(line) * map.wide + column];
        for (int y = std::max(0, line - reach);
             marked != 0 && y <= std::min(map.high - 1, line + reach); ++y) {
          for (int x = std::max(0, column - reach); x <= std::min(map.wide - 1, column + reach);
               ++x) {
            if (map.shown[static_cast<std::size_t>(y) * map.wide + x] == steepest) marked = 0;
          }
        }
      }
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

}  // namespace trasop
