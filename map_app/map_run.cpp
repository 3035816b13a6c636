#include "map_app/map_run.h"

#include <algorithm>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/result_code.h"
#include "dmna/dmna_reader.h"
#include "grid/grid.h"
#include "map/class_map.h"
#include "map/classes.h"
#include "map/figure.h"
#include "map/frame.h"
#include "map/language.h"
#include "map/regions.h"
#include "map/relief.h"
#include "map/source.h"
#include "map/survey.h"
#include "map_app/options.h"
#include "map_app/report.h"
#include "platform/console.h"
#include "platform/file_info.h"
#include "platform/output_file.h"
#include "terrain/slope.h"

namespace trasop {

namespace {

constexpr const char* kProgram = "trasop-map";

// A message on standard error, after the program's name. Where even that cannot be written,
// the exit status still tells.
#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
void complain(const char* format, ...) {
  (void)std::fprintf(stderr, "%s: ", kProgram);
  va_list arguments;
  va_start(arguments, format);
  (void)std::vfprintf(stderr, format, arguments);
  va_end(arguments);
}

const char* inputFault(ResultCode code) {
  switch (code) {
    case CannotRead:
      return "cannot be read: missing, unreadable, a folder, or its data section is short";
    case BadDelta:
      return "invalid delta: missing, not positive or not finite";
    case BadSequ:
      return "invalid sequ: missing, too short or not understood";
    case BadBounds:
      return "invalid lowb or hghb: fewer than 3 points along an index, or beyond 32 bits";
    case OutOfMemory:
      return "not enough memory for the grid";
    default:
      return "cannot be read";
  }
}

// The last part of a path: the file's own name.
std::string lastPart(const std::string& path) {
  const std::size_t separator = lastSeparator(path);
  return separator == std::string::npos ? path : path.substr(separator + 1);
}

// The stem of the outputs' names: the input's name cut at the last "." of its last part, beside
// it; with --output PATH, in PATH where that is a folder (one that exists, or any PATH ending in
// a separator), else PATH itself (a folder and a name stem).
std::string outputStem(const std::string& input, const std::string& output) {
  const std::size_t separator = lastSeparator(input);
  const std::size_t dot = input.find_last_of('.');
  const bool cut = dot != std::string::npos && (separator == std::string::npos || dot > separator);
  std::string beside = cut ? input.substr(0, dot) : input;
  if (output.empty()) return beside;
  const bool endsInSeparator = lastSeparator(output) == output.size() - 1;
  if (!endsInSeparator && !isDirectory(output)) return output;
  const std::string own = separator == std::string::npos ? beside : beside.substr(separator + 1);
  return output + (endsInSeparator ? "" : "/") + own;
}

// A usage fault where an output would be the input itself, or two outputs one file: judged by
// the files' identity, so that links and other spellings of a name are caught too.
bool outputsCollide(const std::string& input, const std::vector<std::string>& outputs) {
  for (std::size_t k = 0; k < outputs.size(); ++k) {
    if (outputs[k] == input || sameFile(outputs[k], input)) {
      complain("%s: would replace the input %s\n", shownName(outputs[k]).c_str(),
               shownName(input).c_str());
      return true;
    }
    for (std::size_t m = 0; m < k; ++m) {
      if (outputs[k] == outputs[m] || sameFile(outputs[k], outputs[m])) {
        complain("%s and %s: one and the same file\n", shownName(outputs[m]).c_str(),
                 shownName(outputs[k]).c_str());
        return true;
      }
    }
  }
  return false;
}

// True where the input looks like a slope file that trasop wrote, by its name.
bool looksLikeSlopeFile(const std::string& input) {
  const std::string name = lastPart(input);
  const std::string ending = "_s.dmna";
  if (name.size() < ending.size()) return false;
  for (std::size_t k = 0; k < ending.size(); ++k) {
    const char c = name[name.size() - ending.size() + k];
    if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != ending[k]) return false;
  }
  return true;
}

std::string titleOf(const std::string& input, const Frame& frame, Language language) {
  char text[160];
  (void)std::snprintf(text, sizeof text,
                      language == Language::German ? ": %d \u00d7 %d Punkte, delta %s m"
                                                   : ": %d \u00d7 %d points, delta %s m",
                      frame.ni, frame.nj, decimal(shortestNumber(frame.delta), language).c_str());
  return lastPart(input) + text;
}

// An output of the run: its name and what writes its text.
struct PlannedOutput {
  std::string name;
  std::function<ResultCode(std::FILE*)> write;
  OutputFile file;
};

// Writes every output completely, without putting any in place: Ok, or the first failure
// (with a message), every output then discarded.
ResultCode writeOutputs(PlannedOutput* outputs, int count) {
  for (int k = 0; k < count; ++k) {
    PlannedOutput& output = outputs[k];
    ResultCode result = CannotCreate;
    if (openOutputFile(output.name, output.file)) {
      result = output.write(output.file.file);
      if (!finishOutputFile(output.file, result == Ok) && result == Ok) result = CannotCreate;
    }
    if (result != Ok) {
      complain("%s: %s\n", shownName(output.name).c_str(),
               result == OutOfMemory ? "not enough memory to write it" : "cannot be written");
      for (int m = 0; m < k; ++m) discardOutputFile(outputs[m].file);
      return result;
    }
  }
  return Ok;
}

// The usage fault of an area that holds no interior cell: where the interior cells lie.
void complainOfEmptyArea(const Circle& area, const Frame& frame) {
  const Footprint f = interiorFootprint(frame);
  complain(
      "the computational area (centre x %s, y %s, radius %s m) holds no interior cell of the "
      "grid, whose interior cells cover x %s to %s, y %s to %s; the centre is read in %s "
      "coordinates%s\n",
      shortestNumber(area.x).c_str(), shortestNumber(area.y).c_str(),
      shortestNumber(area.radius).c_str(), shortestNumber(f.west).c_str(),
      shortestNumber(f.east).c_str(), shortestNumber(f.south).c_str(),
      shortestNumber(f.north).c_str(),
      frame.absolute ? "absolute" : "the grid's own (relative to gakrx, gakry)",
      frame.absolute ? " (--relative reads it relative to gakrx, gakry)" : "");
}

// The cells of `area` whose slope is steeper than 1:20 and than 1:5.
void countSteeper(const TerrainGrid& grid, const Frame& frame, const Circle& area,
                  std::uint64_t* steeper) {
  steeper[0] = 0;
  steeper[1] = 0;
  for (std::int64_t i = std::max<std::int64_t>(area.iFirst, 1); i + 1 < grid.ni && i <= area.iLast;
       ++i) {
    for (std::int64_t j = std::max<std::int64_t>(area.jFirst, 1);
         j + 1 < grid.nj && j <= area.jLast; ++j) {
      if (!area.holds(frame.x(i), frame.y(j))) continue;
      const double slope = grid.rows[i][j].slope;
      steeper[0] += slope > 1.0 / 20.0;
      steeper[1] += slope > 1.0 / 5.0;
    }
  }
}

// The grid's own slopes again, after the slopes over a source's baseline took their place.
void restoreSlopes(TerrainGrid& grid, double delta) {
  for (std::int32_t i = 0; i < grid.ni; ++i) {
    for (std::int32_t j = 0; j < grid.nj; ++j) grid.rows[i][j].slope = 0.0;
  }
  computeSlopes(grid, delta);
}

// A source's computational area: radius 50 H and at least 1 km, or --radius.
Circle areaOf(const Source& source, const MapOptions& options) {
  Circle area;
  area.given = true;
  area.x = source.x;
  area.y = source.y;
  area.radius = options.radiusGiven ? options.area.radius : sourceAreaRadius(source.stack);
  return area;
}

// Each source's figures (see SourceFigures); with one source and its baseline the figure's
// classes are those of the slopes over 2 H. Returns Ok, Usage where a source lies outside the
// grid, or OutOfMemory.
ResultCode surveySources(TerrainGrid& grid, const MapOptions& options, MapReport& report,
                         ClassMap& classes) {
  const Frame& frame = report.frame;
  report.sources.clear();
  for (const Source& source : options.sources) {
    report.sources.emplace_back();
    SourceFigures& figures = report.sources.back();
    figures.source = source;
    figures.area = areaOf(source, options);
    (void)groundHeight(grid, frame, source.x, source.y, figures.ground);
    heightDifferences(grid, frame, figures.area, figures.ground, 0.7 * source.stack,
                      figures.heights);
    // One source: the figure's classes are those of the slopes over 2 H unless the grid's
    // own are asked for (those of its area, which the classes hold already).
    const bool shown = options.sources.size() == 1 && !options.gridBaseline;
    ClassMap scratch;
    if (!surveySlopes(grid, frame, options.thresholds, figures.area, SurveyDetail::Counts,
                      figures.overGrid, scratch)) {
      return OutOfMemory;
    }
    countSteeper(grid, frame, figures.area, figures.gridSteeper);
    const IndexWindow window = slopesOverBaseline(grid, frame.delta, source.stack);
    Circle assessed = figures.area;
    assessed.iFirst = window.iFirst;
    assessed.iLast = window.iLast;
    assessed.jFirst = window.jFirst;
    assessed.jLast = window.jLast;
    ClassMap& target = shown ? classes : scratch;
    if (!surveySlopes(grid, frame, options.thresholds, assessed, SurveyDetail::Counts,
                      figures.overBaseline, target)) {
      return OutOfMemory;
    }
    if (figures.overBaseline.cells > 0) {
      const Survey& over = figures.overBaseline;
      figures.overBaseline.maxAlong = gradientOverBaseline(grid, frame.delta, source.stack,
                                                           over.maxI, over.maxJ, over.maxSlope);
    }
    figures.leftOut = figures.overGrid.cells - figures.overBaseline.cells;
    countSteeper(grid, frame, assessed, figures.baselineSteeper);
    for (int t = 0; t < options.thresholds.count; ++t) {
      if (!findRegions(grid, target, t, figures.regions[t])) return OutOfMemory;
    }
    // The next source starts from the grid's own slopes; after the last, none is needed.
    if (&source != &options.sources.back()) restoreSlopes(grid, frame.delta);
  }
  return Ok;
}

}  // namespace

ResultCode surveyHeights(TerrainGrid& grid, const GridHeader& header, const MapOptions& options,
                         MapReport& report, ClassMap& classes) {
  computeSlopes(grid, header.delta);
  report.header = &header;
  report.frame = Frame{grid.ni,
                       grid.nj,
                       header.xmin,
                       header.ymin,
                       header.delta,
                       options.relative ? 0.0 : header.gakrx,
                       options.relative ? 0.0 : header.gakry,
                       !options.relative};
  report.thresholds = options.thresholds;
  // Every source within the grid, its ground height found from the points around it.
  for (std::size_t k = 0; k < options.sources.size(); ++k) {
    double ground = 0.0;
    const Source& source = options.sources[k];
    if (!groundHeight(grid, report.frame, source.x, source.y, ground)) {
      report.sourceOutside = k + 1;
      return Usage;
    }
  }
  // One source: its area is the computational area of every figure.
  report.area =
      options.sources.size() == 1 ? areaOf(options.sources.front(), options) : options.area;
  if (!surveySlopes(grid, report.frame, options.thresholds, report.area, SurveyDetail::Full,
                    report.survey, classes)) {
    return OutOfMemory;
  }
  if (report.area.given && report.survey.cells == 0) return Usage;
  for (int t = 0; t < options.thresholds.count; ++t) {
    if (!findRegions(grid, classes, t, report.regions[t])) return OutOfMemory;
  }
  if (report.area.given) {
    report.areaInside = shareInside(report.area, interiorFootprint(report.frame));
  }
  return surveySources(grid, options, report, classes);
}

FigureContent figureContentOf(const MapReport& report, const MapOptions& options,
                              const ClassMap& classes) {
  FigureContent figure;
  figure.classes = &classes;
  figure.frame = report.frame;
  figure.thresholds = options.thresholds;
  figure.area = report.area;
  figure.areaInside = report.areaInside;
  figure.survey = &report.survey;
  if (report.sources.size() == 1) {
    // One source: the slopes over its baseline unless the grid's are asked for.
    const SourceFigures& source = report.sources.front();
    figure.survey = options.gridBaseline ? &source.overGrid : &source.overBaseline;
    figure.stack = source.source.stack;
    figure.ground = source.ground;
    figure.overBaseline = !options.gridBaseline;
  } else {
    for (const SourceFigures& source : report.sources) figure.sources.push_back(source.area);
  }
  figure.title =
      options.titleGiven ? options.title : titleOf(options.input, report.frame, options.language);
  figure.contourStep = options.contourStep;
  figure.language = options.language;
  return figure;
}

int runTrasopMap(int argc, const char* const* argv) {
  MapOptions options;
  std::string error;
  if (!parseMapOptions(argc, argv, options, error)) {
    complain("%s\nTry '%s --help' for more information.\n", error.c_str(), kProgram);
    return Usage;
  }
  if (options.help) {
    return std::fputs(mapUsage(), stdout) != EOF && std::fflush(stdout) == 0 ? Ok : CannotCreate;
  }
  if (options.version) {
    return std::fputs("trasop-map 1.1\nLicense MIT: free to use, copy, change and pass on.\n",
                      stdout) != EOF &&
                   std::fflush(stdout) == 0
               ? Ok
               : CannotCreate;
  }
  const std::string shown = shownName(options.input);
  const std::string stem = outputStem(options.input, options.output);
  std::vector<std::string> names;
  if (options.gis) {
    names.push_back(stem + "_classes.png");
    names.push_back(stem + "_classes.pgw");
  }
  names.push_back(stem + "_map.png");
  if (outputsCollide(options.input, names)) return Usage;
  GridHeader header;
  IndexOrder order;
  TerrainGrid grid;
  ResultCode result = readDmnaFileQuietly(options.input, header, order, grid);
  if (result != Ok) {
    complain("%s: %s\n", shown.c_str(), inputFault(result));
    releaseGrid(grid);
    return result;
  }
  if (looksLikeSlopeFile(options.input)) {
    complain(
        "warning: %s looks like a slope file written by trasop; its values are taken as "
        "heights\n",
        shown.c_str());
  }
  MapReport report;
  report.file = options.input;
  report.outputs = names;
  ClassMap classes;
  result = surveyHeights(grid, header, options, report, classes);
  FigureContent figure = figureContentOf(report, options, classes);
  // The heights beneath the map are kept at its resolution, then the grid's memory goes back
  // before the pictures are drawn.
  Relief relief;
  if (result == Ok) {
    if (reliefOf(grid, figureBlock(figure, options.figure), header.delta, relief)) {
      figure.relief = &relief;
    } else {
      result = OutOfMemory;
    }
  }
  releaseGrid(grid);
  if (result == Usage && report.sourceOutside > 0) {
    const Source& source = options.sources[report.sourceOutside - 1];
    complain(
        "--source=%s,%s,%s: the source lies outside the grid, whose points cover x %s to %s, y "
        "%s to %s (%s coordinates)\n",
        shortestNumber(source.x).c_str(), shortestNumber(source.y).c_str(),
        shortestNumber(source.stack).c_str(), shortestNumber(report.frame.x(0)).c_str(),
        shortestNumber(report.frame.x(report.frame.ni - 1)).c_str(),
        shortestNumber(report.frame.y(0)).c_str(),
        shortestNumber(report.frame.y(report.frame.nj - 1)).c_str(),
        report.frame.absolute ? "absolute" : "the grid's own");
    return Usage;
  }
  if (result == Usage) {
    complainOfEmptyArea(report.area, report.frame);
    return Usage;
  }
  if (result != Ok) {
    complain("%s: not enough memory for the figures\n", shown.c_str());
    return result;
  }
  if (report.area.given && leaves(report.area, interiorFootprint(report.frame))) {
    complain(
        "warning: the computational area reaches beyond the grid: %.1f %% of it lies "
        "within the interior cells, and every figure is of that part alone\n",
        100.0 * report.areaInside);
  }

  // Every output is written and flushed first, then the figures are printed, then the outputs
  // take their places one right after the other, the figure last: a run that fails before
  // that replaces none of them.
  PlannedOutput outputs[3];
  int count = 0;
  if (options.gis) {
    outputs[count++].write = [&](std::FILE* file) {
      return writeClassRaster(file, classes, options.thresholds, figure.area);
    };
    outputs[count++].write = [&](std::FILE* file) { return writeWorldFile(file, report.frame); };
  }
  outputs[count++].write = [&](std::FILE* file) {
    return writeFigure(file, figure, options.figure, report.figure);
  };
  for (int k = 0; k < count; ++k) outputs[k].name = names[static_cast<std::size_t>(k)];
  result = writeOutputs(outputs, count);
  if (result != Ok) return result;
  const std::string text = options.json ? reportJson(report) : reportText(report, options.language);
  if (!writeText(stdout, text)) {
    complain("standard output: cannot be written\n");
    for (int k = 0; k < count; ++k) discardOutputFile(outputs[k].file);
    return CannotCreate;
  }
  // A place that fails stops the rest, which go: the outputs placed before it stay.
  for (int k = 0; k < count; ++k) {
    if (!placeOutputFile(outputs[k].file)) {
      complain("%s: cannot be put in place\n", shownName(outputs[k].name).c_str());
      for (int m = k + 1; m < count; ++m) discardOutputFile(outputs[m].file);
      return CannotCreate;
    }
  }
  return Ok;
}

}  // namespace trasop
