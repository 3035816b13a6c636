// The figures of a slope map on standard output: aligned plain text, or JSON for scripts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "grid/grid.h"
#include "map/figure.h"
#include "map/frame.h"
#include "map/language.h"
#include "map/regions.h"
#include "map/source.h"
#include "map/survey.h"
#include "map/thresholds.h"

namespace trasop {

// What the usual guidance asks of a source's area, and its figures: the ground height, the
// height differences beyond 0.7 H, the slopes over 2 H of the cells whose baseline lies in the
// grid (the others left out and counted), and the grid's own slopes in the same area.
struct SourceFigures {
  Source source;
  Circle area;
  double ground = 0.0;
  HeightDifferences heights;
  std::uint64_t leftOut = 0;
  Survey overBaseline;
  RegionSummary regions[kMostThresholds];
  Survey overGrid;
  // Cells steeper than 1:20 and than 1:5, over 2 H and over 2 x delta.
  std::uint64_t baselineSteeper[2] = {};
  std::uint64_t gridSteeper[2] = {};
};

// The verdicts, as stable codes for scripts: whether the terrain is to be taken into account
// (both tests, height differences beyond 0.7 H and slopes steeper than 1:20 over 2 H, hold:
// "required"; cells of the area left out: "not_assessed" unless both hold anyway; else
// "not_required"), and whether a diagnostic wind-field model's range holds as far as slope
// goes (no slope steeper than 1:5, over 2 H nor over 2 x delta: "within_range").
const char* terrainVerdict(const SourceFigures& figures);
const char* rangeVerdict(const SourceFigures& figures);
// The verdicts for several sources together: "required" (or "outside_range") where any
// source's is; "not_required" (or "within_range") where every source's is; else "not_assessed".
const char* terrainVerdict(const std::vector<SourceFigures>& sources);
const char* rangeVerdict(const std::vector<SourceFigures>& sources);

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
  std::vector<SourceFigures> sources;
  std::size_t sourceOutside = 0;  // the number (from 1) of a source outside the grid; 0: none
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
