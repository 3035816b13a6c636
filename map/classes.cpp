#include "map/classes.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "map/canvas.h"
#include "map/font.h"
#include "map/png_file.h"
#include "map/reduction.h"

namespace trasop {

namespace {

// Colour-blind safe, in order of lightness, so that the classes stay in order in grey print:
// the flattest class light grey, then yellow, red, blue and black for the steepest.
const Colour kClassColours[kMostThresholds + 1] = {
    {0xE0, 0xE0, 0xE0}, {0xDD, 0xAA, 0x33}, {0xBB, 0x55, 0x66}, {0x00, 0x44, 0x88}, {0, 0, 0}};

// The colours of `count` thresholds' classes: the first and the steepest always, the middle
// ones in order.
std::vector<Colour> classColours(int count) {
  if (count == 1) return {kClassColours[0], kClassColours[2]};
  return std::vector<Colour>(kClassColours, kClassColours + count + 1);
}

// The side of the square that marks a block holding a cell of the steepest class.
constexpr int kMarkPixels = 4;

// The figure's palette: white, black, grey, then the classes.
constexpr std::uint8_t kWhite = 0;
constexpr std::uint8_t kBlack = 1;
constexpr std::uint8_t kFirstClass = 3;

// A step of 1, 2 or 5 times a power of ten that divides `span` into about `wanted` parts.
double niceStep(double span, int wanted) {
  const double raw = span / wanted;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (const double factor : {1.0, 2.0, 5.0}) {
    if (factor * power >= raw) return factor * power;
  }
  return 10.0 * power;
}

// The ticks of an axis: the multiples first * step, (first + 1) * step, ... of `step`, `count`
// of them.
struct Ticks {
  double first = 0.0;
  std::int64_t count = 0;
};

// An axis shows at most this many ticks.
constexpr double kMostTicks = 100;

// The multiples of `step` within [from, to]; none where the bounds are not finite, where there
// would be too many, or where neighbouring ticks are one and the same double (coordinates far
// larger than the span of the grid).
Ticks ticksWithin(double from, double to, double step) {
  Ticks ticks;
  if (!std::isfinite(from) || !std::isfinite(to) || !std::isfinite(step) || !(step > 0.0)) {
    return ticks;
  }
  const double first = std::ceil(from / step);
  const double last = std::floor(to / step);
  if (!(last >= first) || last - first >= kMostTicks || (first + 1.0) * step == first * step ||
      (last - 1.0) * step == last * step) {
    return ticks;
  }
  ticks.first = first;
  ticks.count = static_cast<std::int64_t>(last - first) + 1;
  return ticks;
}

// The next smaller step of the series 1, 2, 5, 10, 20, ...
double smallerStep(double step) {
  const double power = std::pow(10.0, std::floor(std::log10(step) + 1e-9));
  const double leading = step / power;
  return leading > 4.0 ? 2.0 * power : leading > 1.5 ? power : power / 2.0;
}

std::string number(double value, double step) {
  const int decimals = step >= 1.0 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
  char text[64];
  (void)std::snprintf(text, sizeof text, "%.*f", decimals, value == 0.0 ? 0.0 : value);
  return text;
}

std::string percent(std::uint64_t part, std::uint64_t whole) {
  char text[32];
  (void)std::snprintf(
      text, sizeof text, "%6.2f %%",
      whole == 0 ? 0.0 : 100.0 * static_cast<double>(part) / static_cast<double>(whole));
  return text;
}

// How the map's pixels stand for the cells: `block` cells a pixel each way (a reduced map),
// or `zoom` pixels a cell each way.
struct Scale {
  std::int64_t block = 1;
  int zoom = 1;
  int width = 0;  // pixels
  int height = 0;
  double pixelsPerCell() const { return static_cast<double>(zoom) / static_cast<double>(block); }
};

Scale scaleFor(std::int64_t cellsWide, std::int64_t cellsHigh, int size) {
  Scale scale;
  const std::int64_t longer = std::max(cellsWide, cellsHigh);
  if (longer > size) {
    scale.block = (longer + size - 1) / size;
  } else {
    scale.zoom = static_cast<int>(std::max<std::int64_t>(1, size / longer));
  }
  scale.width = static_cast<int>((cellsWide + scale.block - 1) / scale.block) * scale.zoom;
  scale.height = static_cast<int>((cellsHigh + scale.block - 1) / scale.block) * scale.zoom;
  return scale;
}

}  // namespace

ResultCode writeFigure(std::FILE* file, const ClassMap& classes, const Frame& frame,
                       const Thresholds& thresholds, const Circle& area, double areaInside,
                       const Survey& survey, const std::string& title, int size) {
  const std::int64_t cellsWide = classes.alongI;
  const std::int64_t cellsHigh = classes.alongJ;
  const Scale scale = scaleFor(cellsWide, cellsHigh, size);
  const int blocksWide = scale.width / scale.zoom;
  const int blocksHigh = scale.height / scale.zoom;
  try {
    ReducedMap reduced;
    // A mark reaches two pixels each way: a block within that of one that shows the steepest
    // class needs none.
    if (!reduceClasses(classes, scale.block, thresholds.count,
                       scale.block > 1 ? kMarkPixels / 2 : 0, reduced)) {
      return OutOfMemory;
    }
    const std::vector<std::uint8_t>& blocks = reduced.shown;

    const int left = 110;
    const int top = 70;
    const int gap = 40;
    const int panel = 430;
    const int bottom = 80;
    const int lineHeight = kGlyphHeight + 8;
    const int legendHeight = (thresholds.count + 12) * lineHeight + 80;
    Canvas canvas(left + scale.width + gap + panel,
                  top + std::max(scale.height, legendHeight) + bottom, kWhite);
    for (int y = 0; y < scale.height; ++y) {
      std::uint8_t* const pixels = canvas.row(top + y) + left;
      const std::uint8_t* const line =
          &blocks[static_cast<std::size_t>(y / scale.zoom) * blocksWide];
      for (int x = 0; x < scale.width; ++x) {
        const std::uint8_t block = line[x / scale.zoom];
        pixels[x] = block == 0 ? kWhite : static_cast<std::uint8_t>(kFirstClass + block - 1);
      }
    }
    // Blocks that hold a cell of the steepest class without showing it: a square of that class
    // centred on the block, about a point across at the figure's usual print size.
    const auto steepestColour = static_cast<std::uint8_t>(kFirstClass + thresholds.count);
    for (int line = 0; line < blocksHigh; ++line) {
      for (int column = 0; column < blocksWide; ++column) {
        if (reduced.marked[static_cast<std::size_t>(line) * blocksWide + column] == 0) continue;
        canvas.fill(left + column * scale.zoom + scale.zoom / 2 - kMarkPixels / 2,
                    top + line * scale.zoom + scale.zoom / 2 - kMarkPixels / 2, kMarkPixels,
                    kMarkPixels, steepestColour);
      }
    }
    canvas.frame(left - 1, top - 1, scale.width + 2, scale.height + 2, kBlack);

    // Where a point of the grid's coordinates falls on the canvas.
    const double perMetre = scale.pixelsPerCell() / frame.delta;
    const double westEdge = frame.x(1) - frame.delta / 2;
    const double northEdge = frame.y(cellsHigh) + frame.delta / 2;
    auto column = [&](double x) { return left + (x - westEdge) * perMetre; };
    auto line = [&](double y) { return top + (northEdge - y) * perMetre; };

    // Axes: ticks at round numbers of the coordinates, where they can be drawn.
    const double spanX = static_cast<double>(cellsWide) * frame.delta;
    const double spanY = static_cast<double>(cellsHigh) * frame.delta;
    const double step = niceStep(std::max(spanX, spanY), 8);
    const Ticks alongX = ticksWithin(westEdge, westEdge + spanX, step);
    for (std::int64_t k = 0; k < alongX.count; ++k) {
      const double x = (alongX.first + static_cast<double>(k)) * step;
      const int at = static_cast<int>(std::lround(column(x)));
      canvas.fill(at, top + scale.height + 1, 1, 7, kBlack);
      const std::string label = number(x, step);
      canvas.text(at - textWidth(label) / 2, top + scale.height + 12, label, kBlack);
    }
    const double southEdge = northEdge - spanY;
    const Ticks alongY = ticksWithin(southEdge, northEdge, step);
    for (std::int64_t k = 0; k < alongY.count; ++k) {
      const double y = (alongY.first + static_cast<double>(k)) * step;
      const int at = static_cast<int>(std::lround(line(y)));
      canvas.fill(left - 8, at, 7, 1, kBlack);
      const std::string label = number(y, step);
      canvas.text(left - 12 - textWidth(label), at - kGlyphHeight / 2, label, kBlack);
    }
    // The frame is named under the map, where there is room; the y label above the axis stays
    // short, clear of the title.
    const std::string xLabel =
        frame.absolute ? "x, y (m, absolute)" : "x, y (m, relative to gakrx, gakry)";
    const std::string yLabel = "y (m)";
    canvas.text(left + scale.width / 2 - textWidth(xLabel) / 2, top + scale.height + 40, xLabel,
                kBlack);
    canvas.text(8, top - 26, yLabel, kBlack);
    canvas.text(left, 18, title, kBlack, textWidth(title, 2) <= canvas.width() - left ? 2 : 1);

    // The computational area and the steepest cell.
    if (area.given) {
      canvas.circle(column(area.x), line(area.y), area.radius * perMetre, 2, kBlack);
    }
    if (survey.cells > 0) {
      const double mx = column(frame.x(survey.maxI));
      const double my = line(frame.y(survey.maxJ));
      canvas.circle(mx, my, 10, 2, kWhite);
      canvas.circle(mx, my, 8, 2, kBlack);
    }

    // The legend: each class's rule and share of the area.
    int x = left + scale.width + gap;
    int y = top;
    canvas.text(x, y, "Slope (rise over run)", kBlack);
    y += lineHeight + 4;
    for (int k = thresholds.count; k >= 0; --k) {
      canvas.fill(x, y, 30, kGlyphHeight, static_cast<std::uint8_t>(kFirstClass + k));
      canvas.frame(x, y, 30, kGlyphHeight, kBlack);
      std::string rule = classRule(thresholds, k);
      rule.resize(
          rule.size() + static_cast<std::size_t>(std::max(0, 26 - textWidth(rule) / kGlyphWidth)),
          ' ');
      canvas.text(x + 40, y, rule + percent(survey.classCells[k], survey.cells), kBlack);
      y += lineHeight;
    }
    y += lineHeight / 2;
    canvas.circle(x + 15, y + kGlyphHeight / 2.0, 10, 2, kWhite);
    canvas.circle(x + 15, y + kGlyphHeight / 2.0, 8, 2, kBlack);
    char steepest[96];
    (void)std::snprintf(steepest, sizeof steepest, "steepest cell: %.4f", survey.maxSlope);
    canvas.text(x + 40, y, steepest, kBlack);
    y += lineHeight;
    if (area.given) {
      canvas.circle(x + 15, y + kGlyphHeight / 2.0, 10, 2, kBlack);
      char inside[96];
      (void)std::snprintf(inside, sizeof inside, "computational area, %.1f %% in the grid",
                          100.0 * areaInside);
      canvas.text(x + 40, y, inside, kBlack);
      y += lineHeight;
    }
    y += lineHeight / 2;
    char cells[96];
    (void)std::snprintf(cells, sizeof cells, "shares of %llu cells%s",
                        static_cast<unsigned long long>(survey.cells),
                        area.given ? " in the area" : "");
    canvas.text(x, y, cells, kBlack);
    y += lineHeight;
    if (scale.block > 1) {
      const std::string blockText =
          std::to_string(scale.block) + " \u00d7 " + std::to_string(scale.block) + " cells";
      canvas.text(x, y, "each pixel: the class of most", kBlack);
      canvas.text(x, y + lineHeight, "of a block of " + blockText, kBlack);
      y += 2 * lineHeight;
      canvas.fill(x + 15 - kMarkPixels / 2, y + kGlyphHeight / 2 - kMarkPixels / 2, kMarkPixels,
                  kMarkPixels, steepestColour);
      canvas.text(x + 40, y, "a block with a cell " + classRule(thresholds, thresholds.count),
                  kBlack);
      y += lineHeight;
    }
    // The scale bar.
    y += lineHeight;
    double length = niceStep(std::max(spanX, spanY), 4);
    while (length * perMetre > panel - 60) length = smallerStep(length);
    const int barPixels = std::max(1, static_cast<int>(std::lround(length * perMetre)));
    canvas.fill(x, y + 6, barPixels, 6, kBlack);
    canvas.fill(x, y, 1, 18, kBlack);
    canvas.fill(x + barPixels - 1, y, 1, 18, kBlack);
    const std::string barText = length >= 1000.0 ? number(length / 1000.0, length / 1000.0) + " km"
                                                 : number(length, length) + " m";
    canvas.text(x + barPixels + 10, y + 1, barText, kBlack);

    PaletteImage image;
    image.width = canvas.width();
    image.height = canvas.height();
    image.palette = {{0xFF, 0xFF, 0xFF}, {0, 0, 0}, {0x90, 0x90, 0x90}};
    for (const Colour& colour : classColours(thresholds.count)) image.palette.push_back(colour);
    image.row = [&canvas](int at, std::uint8_t* pixels) {
      std::copy(canvas.row(at), canvas.row(at) + canvas.width(), pixels);
    };
    return writePng(file, image) ? Ok : CannotCreate;
  } catch (const std::bad_alloc&) {
    return OutOfMemory;
  }
}

ResultCode writeClassRaster(std::FILE* file, const ClassMap& classes, const Thresholds& thresholds,
                            const Circle& area) {
  PaletteImage image;
  image.width = static_cast<int>(classes.alongI);
  image.height = static_cast<int>(classes.alongJ);
  image.palette = classColours(thresholds.count);
  image.palette.push_back({0xFF, 0xFF, 0xFF});  // outside the area
  const std::uint8_t outside = static_cast<std::uint8_t>(image.palette.size() - 1);
  if (area.given) image.transparent = outside;
  // The image's rows run along i, the map's lines along j: the rows are turned out of the
  // lines kTileRows at a time, so that each line is read in runs.
  constexpr int kTileRows = 64;
  std::vector<std::uint8_t> tile;
  int tileTop = 0;
  image.row = [&](int y, std::uint8_t* pixels) {
    if (tile.empty() || y < tileTop || y >= tileTop + kTileRows) {
      tileTop = y - y % kTileRows;
      const int rows = std::min(kTileRows, image.height - tileTop);
      tile.resize(static_cast<std::size_t>(kTileRows) * static_cast<std::size_t>(image.width));
      for (std::int64_t i = 1; i <= classes.alongI; ++i) {
        // Row y shows j = alongJ - y, at element alongJ - y - 1 of a line.
        const std::uint8_t* const cells = classes.line(i) + (classes.alongJ - tileTop - 1);
        for (int r = 0; r < rows; ++r) {
          const std::uint8_t cell = *(cells - r);
          tile[static_cast<std::size_t>(r) * static_cast<std::size_t>(image.width) +
               static_cast<std::size_t>(i - 1)] =
              cell == kOutsideArea ? outside : static_cast<std::uint8_t>(cell - 1);
        }
      }
    }
    const std::uint8_t* const row =
        &tile[static_cast<std::size_t>(y - tileTop) * static_cast<std::size_t>(image.width)];
    std::copy(row, row + image.width, pixels);
  };
  try {
    return writePng(file, image) ? Ok : CannotCreate;
  } catch (const std::bad_alloc&) {
    return OutOfMemory;
  }
}

ResultCode writeWorldFile(std::FILE* file, const Frame& frame) {
  // Lines: pixel size along x, two rotation terms, pixel size along y (negative: rows run
  // south), then the centre of the upper left pixel.
  return std::fprintf(file, "%.17g\n0\n0\n%.17g\n%.17g\n%.17g\n", frame.delta, -frame.delta,
                      frame.x(1), frame.y(frame.nj - 2)) > 0
             ? Ok
             : CannotCreate;
}

}  // namespace trasop
