// Times trasop-map's figure on a grid file: the relief kept at the map's resolution, then the
// figure's own work (layout, shading, contours, type, filtering and compression) written to a
// temporary file, each repeated. Prints the median and the minimum, and the figure's bytes;
// asserts nothing.
//
//   bench_figure FILE [REPEATS] [OPTION]...
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/result_code.h"
#include "dmna/dmna_reader.h"
#include "grid/grid.h"
#include "map/class_map.h"
#include "map/figure.h"
#include "map/relief.h"
#include "map_app/map_run.h"
#include "map_app/options.h"
#include "map_app/report.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

void printTimes(const char* stage, std::vector<double> seconds) {
  std::sort(seconds.begin(), seconds.end());
  std::printf("%-40s median %.3f s, min %.3f s (%zu rounds)\n", stage, seconds[seconds.size() / 2],
              seconds.front(), seconds.size());
}

}  // namespace

int main(int argc, char** argv) {
  using namespace trasop;
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_figure FILE [REPEATS] [OPTION]...\n");
    return 2;
  }
  const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 9;
  std::vector<const char*> arguments = {"trasop-map", argv[1]};
  for (int k = 3; k < argc; ++k) arguments.push_back(argv[k]);
  MapOptions options;
  std::string error;
  if (!parseMapOptions(static_cast<int>(arguments.size()), arguments.data(), options, error)) {
    std::fprintf(stderr, "bench_figure: %s\n", error.c_str());
    return 2;
  }
  GridHeader header;
  IndexOrder order;
  TerrainGrid grid;
  MapReport report;
  ClassMap classes;
  if (readDmnaFileQuietly(options.input, header, order, grid) != Ok ||
      surveyHeights(grid, header, options, report, classes) != Ok) {
    std::fprintf(stderr, "bench_figure: %s cannot be surveyed\n", argv[1]);
    return 1;
  }
  FigureContent figure = figureContentOf(report, options, classes);
  std::vector<double> reliefTimes, figureTimes;
  Relief relief;
  long bytes = 0;
  for (int r = 0; r < repeats; ++r) {
    Clock::time_point start = Clock::now();
    if (!reliefOf(grid, figureBlock(figure, options.figure), header.delta, relief)) return 1;
    reliefTimes.push_back(secondsSince(start));
    figure.relief = &relief;
    std::FILE* sink = std::tmpfile();
    if (sink == nullptr) return 1;
    FigureFacts facts;
    start = Clock::now();
    if (writeFigure(sink, figure, options.figure, facts) != Ok) return 1;
    figureTimes.push_back(secondsSince(start));
    bytes = std::ftell(sink);
    std::fclose(sink);
  }
  releaseGrid(grid);
  std::printf("grid %d x %d, figure %s\n", report.frame.ni, report.frame.nj,
              argc > 3 ? "as the options say" : "by default");
  printTimes("relief at the map's resolution", reliefTimes);
  printTimes("figure (layout, shading, type, PNG)", figureTimes);
  std::printf("%-40s %.2f MB\n", "figure's PNG", static_cast<double>(bytes) / 1e6);
  return 0;
}
