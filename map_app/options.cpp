#include "map_app/options.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "map/source.h"
#include "platform/console.h"

namespace trasop {

namespace {

enum class Key : std::uint8_t {
  Thresholds,
  Size,
  Width,
  Dpi,
  Title,
  Contours,
  Language,
  Source,
  Baseline,
  Centre,
  Radius,
  Gis,
  Relative,
  Json,
  Output,
  Help,
  Version
};

struct LongOption {
  const char* name;
  char letter;  // the short form, or 0
  bool takesValue;
  Key key;
};

const LongOption kOptions[] = {
    {"thresholds", 't', true, Key::Thresholds},
    {"size", 0, true, Key::Size},
    {"width", 'w', true, Key::Width},
    {"dpi", 0, true, Key::Dpi},
    {"title", 0, true, Key::Title},
    {"contours", 0, true, Key::Contours},
    {"language", 'l', true, Key::Language},
    {"source", 0, true, Key::Source},
    {"baseline", 0, true, Key::Baseline},
    {"centre", 0, true, Key::Centre},
    {"center", 0, true, Key::Centre},
    {"radius", 'r', true, Key::Radius},
    {"gis", 'g', false, Key::Gis},
    {"relative", 0, false, Key::Relative},
    {"json", 'j', false, Key::Json},
    {"output", 'o', true, Key::Output},
    {"help", 'h', false, Key::Help},
    {"version", 'V', false, Key::Version},
};

bool finiteNumber(const std::string& text, double& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return end == text.c_str() + text.size() && std::isfinite(value) &&
         text.find_first_of("xXpPnN") == std::string::npos;
}

// A print width with its unit, "16cm", "160mm" or "6.3in", in points.
bool parseWidth(const std::string& text, double& points) {
  static const struct {
    const char* unit;
    double points;
  } kUnits[] = {{"cm", 72.0 / 2.54}, {"mm", 72.0 / 25.4}, {"in", 72.0}};
  for (const auto& unit : kUnits) {
    const std::size_t length = std::string(unit.unit).size();
    double number = 0;
    if (text.size() > length && text.compare(text.size() - length, length, unit.unit) == 0 &&
        finiteNumber(text.substr(0, text.size() - length), number)) {
      points = number * unit.points;
      return true;
    }
  }
  return false;
}

bool apply(Key key, const std::string& name, const std::string& value, MapOptions& options,
           std::string& error, bool& radiusGiven, bool& centreGiven, bool& languageGiven) {
  switch (key) {
    case Key::Thresholds:
      if (parseThresholds(value, options.thresholds)) return true;
      error = "invalid thresholds '" + value +
              "': give one to four ascending slopes, as 1:20 or 0.05, separated by commas";
      return false;
    case Key::Size:
      error =
          "option '--size' is gone: the figure is made for print, give its width with a "
          "unit (--width=16cm) and its resolution (--dpi=300)";
      return false;
    case Key::Width:
      if (parseWidth(value, options.figure.width) && options.figure.width >= 5.0 / 2.54 * 72 &&
          options.figure.width <= 60.0 / 2.54 * 72) {
        return true;
      }
      error = "invalid width '" + value +
              "': give the figure's print width with a unit, from 5cm to 60cm (50mm, 2in, ...)";
      return false;
    case Key::Dpi:
      if (finiteNumber(value, options.figure.dpi) && options.figure.dpi >= 72 &&
          options.figure.dpi <= 1200) {
        return true;
      }
      error = "invalid resolution '" + value + "': give pixels an inch, from 72 to 1200";
      return false;
    case Key::Contours:
      if (value == "auto" || value == "none") {
        options.contourStep = value == "none" ? -1.0 : 0.0;
        return true;
      }
      if (finiteNumber(value, options.contourStep) && options.contourStep > 0) return true;
      error = "invalid contours '" + value + "': give auto, none or a height step in metres";
      return false;
    case Key::Language:
      if (value == "de" || value == "en") {
        options.language = languageOf(value);
        languageGiven = true;
        return true;
      }
      error = "invalid language '" + value + "': give de or en";
      return false;
    case Key::Source: {
      // X,Y,H: the source's position in the frame of the axes and its stack's height.
      const std::size_t first = value.find(',');
      const std::size_t second = first == std::string::npos ? first : value.find(',', first + 1);
      Source source;
      if (second != std::string::npos && finiteNumber(value.substr(0, first), source.x) &&
          finiteNumber(value.substr(first + 1, second - first - 1), source.y) &&
          finiteNumber(value.substr(second + 1), source.stack) && source.stack > 0.0 &&
          std::isfinite(sourceAreaRadius(source.stack))) {
        options.sources.push_back(source);
        return true;
      }
      error = "invalid source '" + value +
              "': give X,Y,H, the position (as the axes show it) and the stack's height in metres";
      return false;
    }
    case Key::Baseline:
      if (value == "grid" || value == "source") {
        options.gridBaseline = value == "grid";
        return true;
      }
      error = "invalid baseline '" + value + "': give source (2 H) or grid (2 x delta)";
      return false;
    case Key::Title:
      options.title = value;
      options.titleGiven = true;
      return true;
    case Key::Centre: {
      const std::size_t comma = value.find(',');
      if (comma != std::string::npos && finiteNumber(value.substr(0, comma), options.area.x) &&
          finiteNumber(value.substr(comma + 1), options.area.y)) {
        centreGiven = true;
        return true;
      }
      error =
          "invalid centre '" + value + "': give X,Y (absolute, or with --relative the grid's own)";
      return false;
    }
    case Key::Radius:
      if (finiteNumber(value, options.area.radius) && options.area.radius > 0.0) {
        radiusGiven = true;
        return true;
      }
      error = "invalid radius '" + value + "': give a positive length";
      return false;
    case Key::Gis:
      options.gis = true;
      return true;
    case Key::Relative:
      options.relative = true;
      return true;
    case Key::Json:
      options.json = true;
      return true;
    case Key::Output:
      if (!value.empty()) {
        options.output = value;
        return true;
      }
      error = "invalid output '': give a folder, or a folder and a name stem";
      return false;
    case Key::Help:
      options.help = true;
      return true;
    case Key::Version:
      options.version = true;
      return true;
  }
  error = "unknown option '" + name + "'";
  return false;
}

}  // namespace

bool parseMapOptions(int argc, const char* const* argv, MapOptions& options, std::string& error) {
  bool radiusGiven = false;
  bool centreGiven = false;
  bool languageGiven = false;
  bool onlyFiles = false;
  int inputs = 0;
  for (int k = 1; k < argc; ++k) {
    const std::string argument = argv[k];
    if (onlyFiles || argument.size() < 2 || argument[0] != '-') {
      options.input = argument;
      ++inputs;
      continue;
    }
    if (argument == "--") {
      onlyFiles = true;
      continue;
    }
    const LongOption* found = nullptr;
    std::string value;
    bool valueGiven = false;
    std::string name;
    if (argument[1] == '-') {
      // A long option, or an unambiguous beginning of one.
      const std::size_t equals = argument.find('=');
      name = argument.substr(2, equals == std::string::npos ? equals : equals - 2);
      if (equals != std::string::npos) {
        value = argument.substr(equals + 1);
        valueGiven = true;
      }
      int matches = 0;
      for (const LongOption& option : kOptions) {
        if (name == option.name) {
          found = &option;
          matches = 1;
          break;
        }
        if (std::string(option.name).compare(0, name.size(), name) == 0 &&
            (found == nullptr || found->key != option.key)) {
          found = &option;
          ++matches;
        }
      }
      if (matches != 1) {
        error =
            std::string(matches == 0 ? "unrecognized" : "ambiguous") + " option '--" + name + "'";
        return false;
      }
      name = std::string("--") + found->name;
    } else {
      // Short options, grouped or with their value attached: -gj, -t1:20,1:5.
      for (std::size_t at = 1; at < argument.size(); ++at) {
        found = nullptr;
        for (const LongOption& option : kOptions) {
          if (option.letter != 0 && option.letter == argument[at]) found = &option;
        }
        name = std::string("-") + argument[at];
        if (found == nullptr) {
          error = "invalid option -- '" + std::string(1, argument[at]) + "'";
          return false;
        }
        if (found->takesValue) {
          if (at + 1 < argument.size()) {
            value = argument.substr(at + 1);
            valueGiven = true;
          }
          break;
        }
        if (at + 1 < argument.size() &&
            !apply(found->key, name, "", options, error, radiusGiven, centreGiven, languageGiven)) {
          return false;
        }
      }
    }
    if (found == nullptr) continue;  // (no letter: "-" alone is a file name, taken above)
    if (found->takesValue && !valueGiven) {
      if (k + 1 >= argc) {
        error = "option '" + name + "' requires an argument";
        return false;
      }
      value = argv[++k];
    } else if (!found->takesValue && valueGiven && argument[1] == '-') {
      error = "option '" + name + "' doesn't allow an argument";
      return false;
    }
    if (!apply(found->key, name, value, options, error, radiusGiven, centreGiven, languageGiven))
      return false;
  }
  if (!languageGiven) options.language = languageOf(userLanguage());
  if (options.help || options.version) return true;
  if (options.figure.width / 72.0 * options.figure.dpi > kMostFigurePixels) {
    error = "the figure would be wider than " + std::to_string(kMostFigurePixels) +
            " pixels: give a smaller --width or --dpi";
    return false;
  }
  if (!options.sources.empty()) {
    // Each source's area: --radius, or 50 times its stack's height and at least 1 km.
    if (centreGiven) {
      error = "--source and --centre exclude each other: a source's area is around it";
      return false;
    }
    options.radiusGiven = radiusGiven;
  } else if (radiusGiven != centreGiven) {
    error = "--centre and --radius go together";
    return false;
  }
  options.area.given = centreGiven;
  if (inputs != 1) {
    error = inputs == 0 ? "missing file operand" : "more than one file given";
    return false;
  }
  return true;
}

const char* mapUsage() {
  return "Usage: trasop-map [OPTION]... FILE\n"
         "Show where the terrain of the dmna height grid FILE is steeper than 1:20 and 1:5:\n"
         "write the figure NAME_map.png beside FILE and print the figures on standard output.\n"
         "\n"
         "  -t, --thresholds=LIST  one to four ascending slopes, as ratios (1:20) or decimals\n"
         "                         (0.05), separated by commas; default 1:20,1:5\n"
         "  -w, --width=WIDTH      the figure's print width with its unit: cm, mm or in\n"
         "                         (default 16cm; from 5cm to 60cm)\n"
         "      --dpi=N            its resolution in pixels an inch (default 300; 72 to 1200);\n"
         "                         a grid of more cells than the map has pixels is shown in\n"
         "                         blocks, each in the class of most of its cells\n"
         "      --title=TEXT       the figure's title (default: the file, points and delta)\n"
         "  -l, --language=LANG    de or en: the figure's and the summary's language (by\n"
         "                         default the locale's: LANGUAGE, LC_ALL, LC_MESSAGES, LANG,\n"
         "                         on Windows the display language; English where not German)\n"
         "      --source=X,Y,H     a source at X,Y (as the axes show it) with a stack H metres\n"
         "                         high: its area (radius 50 H, at least 1 km; or --radius),\n"
         "                         its ground height, the cells more than 0.7 H above or below\n"
         "                         it, and slopes over 2 H; may be given several times\n"
         "      --baseline=WHICH   with one source, the figure's classes of the slopes over\n"
         "                         2 H (source, the default) or over 2 x delta (grid)\n"
         "      --contours=STEP    contour lines every STEP metres, auto (a round step from\n"
         "                         the heights' range; the default) or none\n"
         "      --centre=X,Y       with --radius: keep every figure to the computational area,\n"
         "  -r, --radius=R         the circle of radius R around X,Y (absolute coordinates)\n"
         "  -g, --gis              also write NAME_classes.png, one pixel a cell, and the world\n"
         "                         file NAME_classes.pgw that places it\n"
         "      --relative         every coordinate (the centre's, the axes', the world\n"
         "                         file's, the figures') in the grid's own frame, without\n"
         "                         gakrx and gakry; absolute by default\n"
         "  -j, --json             print the figures as JSON\n"
         "  -o, --output=PATH      write the outputs elsewhere: into PATH where it is a folder\n"
         "                         (or ends in a separator), else as PATH_map.png and so on\n"
         "  -h, --help             display this help and exit\n"
         "  -V, --version          output version information and exit\n"
         "\n"
         "A slope is rise over run, the larger of the two central differences of the heights;\n"
         "a class holds the slopes steeper (strictly greater) than its lower bound.\n"
         "Exit status: 0 done, 2 usage fault, 3 input unreadable or short, 4 output not written,\n"
         "5 bad delta, 6 bad sequ, 7 bad bounds, 8 out of memory.\n";
}

}  // namespace trasop
