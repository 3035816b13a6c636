// A map with fewer pixels than cells: each pixel stands for a square block of cells and shows
// the class that covers most of them, so that each class keeps about its share of the map; a
// block that holds a cell of the steepest class without that class shown near it is marked, so
// that no such cell disappears from the figure.
#pragma once

#include <cstdint>
#include <vector>

#include "map/class_map.h"

namespace trasop {

struct ReducedMap {
  int wide = 0;  // blocks along i
  int high = 0;  // blocks along j
  // For each block, row 0 the northmost, column 0 at i = 1: the class plus one that covers
  // most of its cells, a tie going to the steeper; kOutsideArea where most lie outside the
  // area. And whether it is to be marked.
  std::vector<std::uint8_t> shown;
  std::vector<std::uint8_t> marked;
};

// Reduces `classes` (of `classCount` classes) to blocks of `block` x `block` cells, the last
// ones along each index shorter. A block that holds a cell of the steepest class is marked
// unless a block within `reach` blocks of it each way shows that class (a mark there would
// show nothing more). Returns false where memory lacks.
bool reduceClasses(const ClassMap& classes, std::int64_t block, int classCount, int reach,
                   ReducedMap& map);

}  // namespace trasop
