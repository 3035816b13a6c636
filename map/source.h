// A source and the terrain around it, as the usual guidance for dispersion calculations
// judges it: the computational area of radius 50 times the stack height H (at least 1 km),
// the source's ground height, the height differences to it beyond 0.7 H, and the slopes over
// a baseline of 2 H instead of the grid's 2 x delta.
#pragma once

#include <cstdint>

#include "grid/grid.h"
#include "map/frame.h"

namespace trasop {

struct Source {
  double x = 0.0;  // in the frame's coordinates
  double y = 0.0;
  double stack = 0.0;  // the stack's height H, metres
};

// The radius of a source's computational area: max(50 H, 1000 m).
double sourceAreaRadius(double stack);

// The ground height at (x, y) in the frame's coordinates, bilinear between the four grid points
// around it (exact at a grid point). Returns false where (x, y) lies outside the grid.
bool groundHeight(const TerrainGrid& grid, const Frame& frame, double x, double y, double& height);

// The interior cells whose slope over a baseline can be computed: i from iFirst to iLast, j
// from jFirst to jLast (none where a first exceeds its last).
struct IndexWindow {
  std::int64_t iFirst = 1;
  std::int64_t iLast = 0;
  std::int64_t jFirst = 1;
  std::int64_t jLast = 0;
  bool holds(std::int64_t i, std::int64_t j) const {
    return i >= iFirst && i <= iLast && j >= jFirst && j <= jLast;
  }
};

// Replaces the slope of every interior cell within the returned window by its slope over
// 2 H: the larger of the absolute differences along i and along j between the heights H
// before and H after the cell's point, times 1 / (2 H). With r = H / delta, m = floor(r),
// f = r - m: h+ = h(i + m) + f (h(i + m + 1) - h(i + m)), h- = h(i - m) - f (h(i - m) -
// h(i - m - 1)), the same along j; where f is 0 simply h(i + m) and h(i - m). Where H is at
// most delta the grid's own slopes are kept (they are that slope). Cells outside the window
// (their baseline leaves the grid) keep their slopes and are not to be assessed.
// REQUIRES: the grid's slopes computed (computeSlopes); stack > 0.
IndexWindow slopesOverBaseline(TerrainGrid& grid, double delta, double stack);

// Which gradient over 2 H of cell (i, j), within the window, is its slope `slope`: 'i', 'j',
// or 'b' for both.
char gradientOverBaseline(const TerrainGrid& grid, double delta, double stack, std::int64_t i,
                          std::int64_t j, double slope);

// Height differences of the interior cells in `area` to a ground height: how many differ by
// more than `limit` (0.7 H), and the largest difference above and below with its cell.
struct HeightDifferences {
  std::uint64_t cells = 0;
  std::uint64_t beyond = 0;  // |height - ground| > limit
  double maxAbove = 0.0;     // the largest height - ground (none above: 0)
  double maxBelow = 0.0;     // the largest ground - height (none below: 0)
  std::int64_t aboveI = 0, aboveJ = 0, belowI = 0, belowJ = 0;
};

void heightDifferences(const TerrainGrid& grid, const Frame& frame, const Circle& area,
                       double ground, double limit, HeightDifferences& differences);

}  // namespace trasop
