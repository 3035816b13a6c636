// Connected regions of cells steeper than a threshold: cells that touch at a side or a corner
// (8 neighbours) belong to one region.
#pragma once

#include <cstdint>

#include "grid/grid.h"
#include "map/class_map.h"

namespace trasop {

struct Region {
  std::uint64_t cells = 0;
  std::int64_t iMin = 0, iMax = 0, jMin = 0, jMax = 0;  // the cells' extent
  std::uint64_t sumI = 0, sumJ = 0;                     // for the centre
  double maxSlope = 0.0;                                // the steepest cell, first found
  std::int64_t maxI = 0, maxJ = 0;
  std::uint64_t found = 0;  // the order of its first cell, scanning i, then j
};

constexpr int kLargestRegions = 3;

struct RegionSummary {
  std::uint64_t count = 0;
  std::uint64_t singles = 0;  // regions of a single cell
  int largestCount = 0;
  Region largest[kLargestRegions];  // by cells, then by steepest slope
};

// Finds the regions of the cells of `classes` that are steeper than the threshold of index
// `threshold` (their class is above it); their slopes are read from `grid`. The regions are
// followed line by line and summed up as soon as a line no longer reaches them, so that the
// memory stays in proportion to a line, however many regions there are.
// Returns false where memory for the labels is lacking.
bool findRegions(const TerrainGrid& grid, const ClassMap& classes, int threshold,
                 RegionSummary& summary);

}  // namespace trasop
