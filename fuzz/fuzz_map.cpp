// Fuzz target of trasop-map: arbitrary bytes through every stage of its run in memory. The
// input's first line holds the options (words separated by blanks), the rest is the height
// grid's dmna text; its last two bytes choose the reader's chunk size, as for the reader's
// target. The figure's size is kept small, so that each input runs in milliseconds.
//
// Checked: the classes' counts add up to the cells, the text summary and the JSON are
// well-formed UTF-8 without raw control characters (line breaks aside), and the figure, the
// class raster and the world file are written without a fault.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "dmna/dmna_reader_steps.h"
#include "map/classes.h"
#include "map/figure.h"
#include "map/relief.h"
#include "map/utf8.h"
#include "map_app/map_run.h"
#include "map_app/options.h"
#include "map_app/report.h"

namespace {

using namespace trasop;

void checkText(const std::string& text) {
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = utf8Length(text, at);
    const unsigned char c = static_cast<unsigned char>(text[at]);
    if (length == 0 || (c < 0x20 && c != '\n') || c == 0x7F) {
      std::fprintf(stderr, "summary byte %zu (%#x) is not text\n", at, c);
      std::abort();
    }
    at += length;
  }
}

// The options of the first line; the defaults where they are a usage fault.
MapOptions optionsOf(std::string_view line) {
  std::vector<std::string> words = {"trasop-map"};
  for (std::size_t at = 0; at < line.size();) {
    const std::size_t end = std::min(line.find(' ', at), line.size());
    if (end > at) words.emplace_back(line.substr(at, end - at));
    at = end + 1;
  }
  words.emplace_back("--");
  words.emplace_back("in\xf6\n.dmna");  // a name no JSON or terminal takes raw
  std::vector<const char*> argv;
  for (const std::string& word : words) argv.push_back(word.c_str());
  MapOptions options;
  std::string error;
  if (!parseMapOptions(static_cast<int>(argv.size()), argv.data(), options, error) ||
      options.help || options.version) {
    options = MapOptions();
    options.input = words.back();
  }
  options.figure.width = 5.0 / 2.54 * 72.0;
  options.figure.dpi = 72.0 + std::fmod(options.figure.dpi, 48.0);
  return options;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view all(reinterpret_cast<const char*>(data), size);
  const std::size_t lineEnd = std::min(all.find('\n'), all.size());
  const MapOptions options = optionsOf(all.substr(0, lineEnd));
  const std::string_view text = all.substr(std::min(lineEnd + 1, all.size()));
  std::size_t chunkSize = TextReader::kDefaultChunkSize;
  if (size >= 2) chunkSize = 1 + ((std::size_t{data[size - 2]} << 8 | data[size - 1]) % 65536);

  TextReader in(text, text.size(), chunkSize);
  GridHeader header;
  IndexOrder order;
  TerrainGrid grid;
  if (readDmna(in, header, order, grid) == Ok) {
    MapReport report;
    report.file = options.input;
    ClassMap classes;
    const ResultCode surveyed = surveyHeights(grid, header, options, report, classes);
    FigureContent figure = figureContentOf(report, options, classes);
    Relief relief;
    if (surveyed == Ok &&
        reliefOf(grid, figureBlock(figure, options.figure), header.delta, relief)) {
      figure.relief = &relief;
    }
    releaseGrid(grid);
    if (surveyed == Ok) {
      std::uint64_t counted = 0;
      for (int k = 0; k <= options.thresholds.count; ++k) counted += report.survey.classCells[k];
      if (counted != report.survey.cells) std::abort();
      checkText(reportText(report, options.language));
      checkText(reportJson(report));
      static std::FILE* const sink = std::tmpfile();
      if (sink != nullptr) {
        std::rewind(sink);
        if (writeFigure(sink, figure, options.figure, report.figure) != Ok ||
            writeClassRaster(sink, classes, options.thresholds, figure.area) != Ok ||
            writeWorldFile(sink, report.frame) != Ok) {
          std::abort();
        }
      }
    }
  }
  releaseGrid(grid);
  return 0;
}
