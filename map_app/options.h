// The command line of trasop-map, in the manner of GNU programs: long options (any unambiguous
// beginning of one will do), with their value after "=" or as the next argument, a few short
// ones, and "--" before a file name that begins with "-".
#pragma once

#include <string>
#include <vector>

#include "map/figure.h"
#include "map/frame.h"
#include "map/language.h"
#include "map/source.h"
#include "map/thresholds.h"

namespace trasop {

struct MapOptions {
  std::string input;
  std::string output;  // --output: a folder, or a folder and a name stem; empty: beside input
  Thresholds thresholds = defaultThresholds();
  FigureSize figure;  // --width (points), --dpi
  std::string title;
  bool titleGiven = false;
  double contourStep = 0.0;               // --contours: 0 auto, a step in metres, below 0 none
  Language language = Language::English;  // --language, or the user's locale
  Circle area;
  std::vector<Source> sources;  // --source, each judged on its own
  bool radiusGiven = false;     // with sources: --radius for every source's area
  bool gridBaseline = false;    // --baseline=grid
  bool gis = false;
  bool relative = false;
  bool json = false;
  bool help = false;
  bool version = false;
};

// Reads the arguments after the program's name. Returns false with `error` set for a usage
// fault: an unknown or ambiguous option, a missing or bad value, no input or more than one.
bool parseMapOptions(int argc, const char* const* argv, MapOptions& options, std::string& error);

// The text of --help.
const char* mapUsage();

}  // namespace trasop
