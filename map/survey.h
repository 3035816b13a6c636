// The figures of a slope map: how much of the area is steeper than each threshold, ties, the
// steepest cell, percentiles, and rings around the centre of a computational area.
#pragma once

#include <cstdint>

#include "grid/grid.h"
#include "map/class_map.h"
#include "map/frame.h"
#include "map/thresholds.h"

namespace trasop {

constexpr int kPercentileCount = 4;
constexpr int kPercentiles[kPercentileCount] = {50, 90, 95, 99};
constexpr int kRingCount = 4;

struct Ring {
  double inner = 0.0;  // distance from the centre, inner bound excluded (but for the first)
  double outer = 0.0;
  std::uint64_t cells = 0;
  std::uint64_t classCells[kMostThresholds + 1] = {};
};

struct Survey {
  std::uint64_t cells = 0;  // interior cells in the area
  double lowest = 0.0;      // the heights of every point of the grid
  double highest = 0.0;
  double maxSlope = 0.0;
  std::uint64_t maxCells = 0;  // cells whose slope is the maximum
  std::int64_t maxI = 0;       // the first of them, scanning i, then j
  std::int64_t maxJ = 0;
  char maxAlong = 'i';  // the index whose gradient is the maximum: 'i', 'j', or 'b' for both
  std::uint64_t classCells[kMostThresholds + 1] = {};
  std::uint64_t ties[kMostThresholds] = {};  // cells exactly at each threshold
  double percentiles[kPercentileCount] = {};
  int ringCount = 0;  // kRingCount where a circle is given
  Ring rings[kRingCount];
};

// How much a survey finds: everything, or the counts, classes and maximum alone (no
// percentiles, no rings), for the figures of a source.
enum class SurveyDetail : std::uint8_t { Full, Counts };

// Surveys the slopes of grid's interior cells whose points lie in `area`, and keeps the class
// of every interior cell in `classes`.
// REQUIRES: slopes computed; ni, nj >= 3. Returns false where memory for the class map or the
// percentiles is lacking.
bool surveySlopes(const TerrainGrid& grid, const Frame& frame, const Thresholds& thresholds,
                  const Circle& area, SurveyDetail detail, Survey& survey, ClassMap& classes);

}  // namespace trasop
