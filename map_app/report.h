// The figures of a slope map on standard output: aligned plain text, or JSON for scripts.
#pragma once

#include <string>
#include <vector>

#include "grid/grid.h"
#include "map/figure.h"
#include "map/frame.h"
#include "map/language.h"
#include "map/regions.h"
#include "map/survey.h"
#include "map/thresholds.h"

namespace trasop {

struct MapReport {
  std::string file;
  std::vector<std::string> outputs;  // the files the run writes, in the order they are placed
  const GridHeader* header = nullptr;
  Frame frame;
  Thresholds thresholds;
  Circle area;
  double areaInside = 1.0;  // the share of the circle within the interior cells' footprint
  Survey survey;
  RegionSummary regions[kMostThresholds];
  FigureFacts figure;  // where the figure put what
};

// A file name as shown in text and messages: as it is, or, where it holds control characters
// or bytes that are no well-formed UTF-8, in single quotes with those bytes written as C
// escapes ('a\nb', 'h\366he.dmna'), so that nothing reaches a terminal raw.
std::string shownName(const std::string& name);

// The shortest text that reads back as the same double ("inf", "nan" for those).
std::string shortestNumber(double value);

// The figures as aligned plain text, and as JSON (its fields in the manual page).
std::string reportText(const MapReport& report, Language language = Language::English);
std::string reportJson(const MapReport& report);

}  // namespace trasop
