// Times the stages of a run one by one on a grid file held in memory, so that the figures show
// the program's own work without the file system and, after the first reading, without the
// fresh pages of a new grid. Prints figures; asserts nothing.
//
//   bench_stages FILE [REPEATS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <ios>
#include <sstream>
#include <string>
#include <vector>

#include "dmna/dmna_reader_steps.h"
#include "dmna/dmna_writer.h"
#include "terrain/slope.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Prints the minimum and the median of `seconds` per grid point.
void report(const char* stage, std::vector<double> seconds, double points) {
  std::sort(seconds.begin(), seconds.end());
  std::printf("%-28s min %6.2f  median %6.2f ns/point\n", stage, seconds.front() * 1e9 / points,
              seconds[seconds.size() / 2] * 1e9 / points);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace trasop;
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_stages FILE [REPEATS]\n");
    return 2;
  }
  const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 9;
  std::ifstream file(argv[1], std::ios::binary);
  std::ostringstream contents;
  contents << file.rdbuf();
  const std::string text = contents.str();

  GridHeader header;
  IndexOrder order;
  TerrainGrid grid;
  TextReader first(text);
  Clock::time_point start = Clock::now();
  if (readDmna(first, header, order, grid) != Ok) {
    std::fprintf(stderr, "bench_stages: %s is no grid file this program reads\n", argv[1]);
    return 1;
  }
  const double freshRead = secondsSince(start);
  const double points = static_cast<double>(grid.ni) * grid.nj;
#ifdef _WIN32
  std::FILE* sink = std::fopen("NUL", "wb");
#else
  std::FILE* sink = std::fopen("/dev/null", "wb");
#endif
  if (sink == nullptr) return 1;

  std::vector<double> reading, slopes, writing;
  for (int r = 0; r < repeats; ++r) {
    TextReader in(text);
    GridHeader again;
    IndexOrder againOrder;
    start = Clock::now();
    readHeader(in, again, againOrder);
    readGridValues(in, againOrder, grid);
    reading.push_back(secondsSince(start));
    start = Clock::now();
    computeSlopes(grid, header.delta);
    slopes.push_back(secondsSince(start));
    start = Clock::now();
    writeSlopeText(sink, header, order, grid);
    writing.push_back(secondsSince(start));
  }
  std::fclose(sink);
  releaseGrid(grid);

  std::printf("%d x %d points, order %s, %d repeats\n", grid.ni, grid.nj, header.sequ.c_str(),
              repeats);
  std::printf("%-28s %6.2f ns/point\n", "reading into fresh pages", freshRead * 1e9 / points);
  report("reading", reading, points);
  report("slopes", slopes, points);
  report("writing to the null device", writing, points);
  return 0;
}
