// The figures of a slope map on standard output: aligned plain text, or JSON for scripts.
#pragma once

#include <string>

#include "grid/grid.h"
#include "map/frame.h"
#include "map/regions.h"
#include "map/survey.h"
#include "map/thresholds.h"

namespace trasop {

struct MapReport {
  std::string file;
  const GridHeader* header = nullptr;
  Frame frame;
  Thresholds thresholds;
  Circle area;
  Survey survey;
  RegionSummary regions[kMostThresholds];
};

// The figures as aligned plain text, and as JSON (its fields in the manual page).
std::string reportText(const MapReport& report);
std::string reportJson(const MapReport& report);

}  // namespace trasop
