// The figures of a slope map on standard output: aligned plain text, or JSON for scripts.
#pragma once

#include <cstdio>
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

void printReport(std::FILE* out, const MapReport& report);
void printReportJson(std::FILE* out, const MapReport& report);

}  // namespace trasop
