// The terrain beneath the figure's classes: the heights at the map's resolution, their
// hillshade (light from the north-west) and their contour lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "grid/grid.h"

namespace trasop {

// Heights of the interior points, one node per block of `block` x `block` points (the mean of
// the block's heights; the last blocks along each index shorter), row 0 the northmost, column
// 0 at i = 1.
struct Relief {
  std::int64_t block = 1;
  int wide = 0;
  int high = 0;
  double spacing = 1.0;  // metres between neighbouring nodes: block x delta
  std::vector<float> heights;
  float lowest = 0.0F;
  float highest = 0.0F;

  float at(int column, int row) const {
    return heights[static_cast<std::size_t>(row) * static_cast<std::size_t>(wide) + column];
  }
};

// Reduces the heights of `grid` to `relief`. Returns false where memory lacks.
bool reliefOf(const TerrainGrid& grid, std::int64_t block, double delta, Relief& relief);

// The hillshade of the nodes of `row` into shades[0 .. wide - 1], relative to flat ground, from
// -1 (turned away from the light) to 1 (facing it), 0 for flat ground: the cosine of the angle
// between the surface's normal (heights three times exaggerated) and the light (from the
// north-west, 45 degrees high) less that of flat ground, twice, and kept to [-1, 1]. Computed with
// + - x / and square roots only.
void shadeRow(const Relief& relief, int row, double* shades);

// Contour lines: the levels first, first + step, ..., `count` of them, every fifth (a
// multiple of 5 x step) an index contour.
struct ContourLevels {
  double first = 0.0;
  double step = 0.0;
  int count = 0;
  bool index(int k) const;
};

// The levels of a step about a fifteenth of the heights' range, 1, 2 or 5 times a power of
// ten, or of the given `step` (> 0); none for a flat relief or more than kMostContours.
constexpr int kMostContours = 200;
ContourLevels contourLevels(const Relief& relief, double step);

// The pieces of the contour lines of `levels` between the nodes, in node units (node (c, r) at
// x = c, y = r), each through segment(level, x0, y0, x1, y1) with `level` the index of its
// level; for the rows `fromRow` to `toRow` - 1 of cells between nodes, row after row.
void contourPieces(const Relief& relief, const ContourLevels& levels, int fromRow, int toRow,
                   const std::function<void(int, double, double, double, double)>& segment);

}  // namespace trasop
