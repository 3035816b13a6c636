#include "map_app/map_run.h"

#include <cstdarg>
#include <cstdio>
#include <memory>
#include <string>

#include "app/result_code.h"
#include "dmna/dmna_reader_steps.h"
#include "dmna/text_reader.h"
#include "grid/grid.h"
#include "map/class_map.h"
#include "map/classes.h"
#include "map/frame.h"
#include "map/regions.h"
#include "map/survey.h"
#include "map_app/options.h"
#include "map_app/report.h"
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

struct FileCloser {
  void operator()(std::FILE* file) const { static_cast<void>(std::fclose(file)); }
};

// Reads the height grid of `name` as trasop reads it, without a word on standard output.
ResultCode readHeights(const std::string& name, GridHeader& header, IndexOrder& order,
                       TerrainGrid& grid) {
  if (isDirectory(name)) return CannotRead;
  const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(name.c_str(), "rb"));
  if (!file) return CannotRead;
  TextReader in(file.get(), regularFileSize(file.get()));
  return readDmna(in, header, order, grid);
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

// The name of an output beside `input`: its last name part cut at its last ".", and `suffix`.
std::string outputName(const std::string& input, const std::string& suffix) {
  const std::size_t slash = input.find_last_of("/\\");
  const std::size_t dot = input.find_last_of('.');
  const bool cut = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return (cut ? input.substr(0, dot) : input) + suffix;
}

// Writes one output through the output replacement; false (with a message) where it fails.
template <typename Write>
bool writeOutput(const std::string& name, Write write) {
  OutputFile output;
  const bool written = openOutputFile(name, output) && closeOutputFile(output, write(output.file));
  if (!written) complain("%s: cannot be written\n", name.c_str());
  return written;
}

std::string titleOf(const std::string& input, const Frame& frame) {
  const std::size_t slash = input.find_last_of("/\\");
  char text[160];
  (void)std::snprintf(text, sizeof text, ": %d \u00d7 %d points, delta %g m", frame.ni, frame.nj,
                      frame.delta);
  return (slash == std::string::npos ? input : input.substr(slash + 1)) + text;
}

}  // namespace

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
  GridHeader header;
  IndexOrder order;
  TerrainGrid grid;
  ResultCode result = readHeights(options.input, header, order, grid);
  if (result != Ok) {
    complain("%s: %s\n", options.input.c_str(), inputFault(result));
    releaseGrid(grid);
    return result;
  }
  computeSlopes(grid, header.delta);
  MapReport report;
  report.file = options.input;
  report.header = &header;
  report.frame = Frame{grid.ni, grid.nj, header.xmin, header.ymin, header.delta};
  report.thresholds = options.thresholds;
  report.area = options.area;
  ClassMap classes;
  bool surveyed =
      surveySlopes(grid, report.frame, options.thresholds, options.area, report.survey, classes);
  for (int t = 0; surveyed && t < options.thresholds.count; ++t) {
    surveyed = findRegions(grid, classes, t, report.regions[t]);
  }
  // The pictures are drawn from the classes: the grid's memory goes back first.
  releaseGrid(grid);
  if (!surveyed) {
    complain("%s: not enough memory for the figures\n", options.input.c_str());
    return OutOfMemory;
  }
  const std::string title = titleOf(options.input, report.frame);
  bool written = writeOutput(outputName(options.input, "_map.png"), [&](std::FILE* file) {
    return writeFigure(file, classes, report.frame, options.thresholds, options.area, report.survey,
                       title, options.size);
  });
  if (written && options.gis) {
    written = writeOutput(outputName(options.input, "_classes.png"), [&](std::FILE* file) {
      return writeClassRaster(file, classes, options.thresholds, options.area);
    });
    const double x0 = options.relative ? 0.0 : header.gakrx;
    const double y0 = options.relative ? 0.0 : header.gakry;
    written =
        written && writeOutput(outputName(options.input, "_classes.pgw"), [&](std::FILE* file) {
          return writeWorldFile(file, report.frame, x0, y0);
        });
  }
  if (!written) return CannotCreate;
  const std::string text = options.json ? reportJson(report) : reportText(report);
  if (std::fputs(text.c_str(), stdout) == EOF || std::fflush(stdout) != 0) {
    complain("standard output: cannot be written\n");
    return CannotCreate;
  }
  return Ok;
}

}  // namespace trasop
