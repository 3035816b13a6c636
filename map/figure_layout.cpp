// The figure laid out in points: title, map with its axes, legend beside the map or below it,
// caption; then rendered by the PNG back end.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "map/classes.h"
#include "map/drawing.h"
#include "map/figure.h"
#include "map/png_render.h"
#include "map/reduction.h"
#include "map/relief.h"
#include "map/type.h"

namespace trasop {

namespace {

// Sizes of type and lines, in points.
constexpr double kTitleSize = 11.0;
constexpr double kLabelSize = 9.0;  // axis labels and legend
constexpr double kTickSize = 8.0;   // tick labels
constexpr double kCaptionSize = 8.0;
constexpr double kMargin = 6.0;
constexpr double kTickLength = 3.0;
constexpr double kThinLine = 0.5;
constexpr double kFrameLine = 0.75;
constexpr double kAreaLine = 1.0;
// A mark for a block that hides a cell of the steepest class, across.
constexpr double kMarkSize = 1.2;

const Colour kBlack{0, 0, 0};
const Colour kWhite{0xFF, 0xFF, 0xFF};

// Contour lines: thin and light, every fifth stronger and darker, in a brown that none of the
// classes has; their labels on a pale ground.
constexpr double kContour = 0.5;
constexpr double kIndexContour = 0.9;
constexpr double kContourLabelSize = 7.0;
const Colour kContourColour{0x8C, 0x78, 0x64};
const Colour kIndexContourColour{0x5A, 0x46, 0x32};
const Colour kLabelBackground{0xF8, 0xF6, 0xF2};
// The lines 0.7 H above and below a source's ground: strong and dark, apart from the classes.
constexpr double kBeyondLine = 1.4;
const Colour kBeyondColour{0x55, 0x11, 0x66};

// The hillshade moves a class's colour at most this share of the way to white (facing the
// light) or to black (turned away): its lightness by at most 7 L*, less than half the gap
// between any two classes.
constexpr double kLighten = 0.08;
constexpr double kDarken = 0.08;

std::uint8_t mixed(int from, int to, double share) {
  return static_cast<std::uint8_t>(std::floor(from + (to - from) * share + 0.5));
}

Colour shaded(const Colour& colour, double shade) {
  const int to = shade > 0 ? 255 : 0;
  const double share = shade > 0 ? shade * kLighten : -shade * kDarken;
  return {mixed(colour.red, to, share), mixed(colour.green, to, share),
          mixed(colour.blue, to, share)};
}

// Outside the area: the terrain in greys from 229 to 255, lighter than every class.
Colour outsideColour(double shade) {
  const std::uint8_t grey = mixed(242, shade > 0 ? 255 : 229, shade > 0 ? shade : -shade);
  return {grey, grey, grey};
}

// A round step of the series 1, 2, 5 times a power of ten: mantissa x 10^exponent. Computed
// by multiplying and dividing by ten, so that every target finds the same doubles.
struct Step {
  int mantissa = 1;
  int exponent = 0;

  double value() const {
    double power = 1.0;
    for (int e = 0; e < exponent; ++e) power *= 10.0;
    double value = mantissa * power;
    for (int e = 0; e > exponent; --e) value /= 10.0;
    return value;
  }
  Step next() const {
    return mantissa == 1   ? Step{2, exponent}
           : mantissa == 2 ? Step{5, exponent}
                           : Step{1, exponent + 1};
  }
};

// The smallest step of the series that is at least `length` (positive and finite).
Step stepAtLeast(double length) {
  Step step{1, 0};
  while (step.value() > length && step.exponent > -300) step.exponent -= 1;
  while (step.value() < length && step.exponent < 300) step = step.next();
  return step;
}

// The multiples of a step within [from, to]: first x step, (first + 1) x step, ..., `count` of
// them; none where the bounds are not finite, there would be more than kMostTicks, or
// neighbouring ticks are the same double.
constexpr double kMostTicks = 100;

struct Ticks {
  double first = 0.0;
  std::int64_t count = 0;
};

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

// A coordinate as a tick's label: in metres, or in kilometres where `km`; as many decimals as
// the step needs.
std::string tickLabel(double value, const Step& step, bool km, Language language) {
  const int decimals = std::max(0, (km ? 3 : 0) - step.exponent);
  char text[64];
  const double shown = km ? value / 1000.0 : value;
  (void)std::snprintf(text, sizeof text, "%.*f", decimals, shown == 0.0 ? 0.0 : shown);
  return decimal(text, language);
}

// An axis: where its ticks are and their labels.
struct Axis {
  Step step;
  Ticks ticks;
  std::vector<std::string> labels;
  double widest = 0.0;  // points
};

Axis axisWith(double from, double to, const Step& step, bool km, Language language) {
  Axis axis;
  axis.step = step;
  axis.ticks = ticksWithin(from, to, step.value());
  for (std::int64_t t = 0; t < axis.ticks.count; ++t) {
    axis.labels.push_back(
        tickLabel((axis.ticks.first + static_cast<double>(t)) * step.value(), step, km, language));
    axis.widest = std::max(axis.widest, textWidth(axis.labels.back(), kTickSize));
  }
  return axis;
}

// The finest ticks along a span of `length` points whose labels keep `room(axis)` points
// apart; at least one tick where the span holds a multiple of some step.
template <typename Room>
Axis chooseAxis(double from, double to, double length, bool km, Language language, Room room) {
  const double span = to - from;
  if (!std::isfinite(span) || !(span > 0) || !(length > 0)) return Axis();
  Step step = stepAtLeast(span / kMostTicks);
  Axis last;
  for (int tries = 0; tries < 40; ++tries, step = step.next()) {
    Axis axis = axisWith(from, to, step, km, language);
    if (axis.ticks.count == 0) break;
    last = axis;
    if (step.value() / span * length >= room(axis)) return axis;
  }
  return last;
}

// Words set in lines no wider than `width` at `size`.
std::vector<std::string> wrapped(const std::string& text, double size, double width) {
  std::vector<std::string> lines;
  std::string line;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find(' ', at);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(at, end - at);
    std::string longer = line;
    if (!longer.empty()) longer += ' ';
    longer += word;
    if (!line.empty() && textWidth(longer, size) > width) {
      lines.push_back(line);
      line = word;
    } else {
      line = longer;
    }
    at = end + 1;
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

// `text` cut with an ellipsis to fit `width` at `size`.
std::string fitted(const std::string& text, double size, double width) {
  if (textWidth(text, size) <= width) return text;
  std::string cut = text;
  while (!cut.empty() && textWidth(cut + "\u2026", size) > width) {
    cut.pop_back();
    // Not within a character's bytes.
    while (!cut.empty() && (static_cast<unsigned char>(cut.back()) & 0xC0) == 0x80) cut.pop_back();
    if (!cut.empty() && static_cast<unsigned char>(cut.back()) >= 0xC0) cut.pop_back();
  }
  return cut + "\u2026";
}

std::string percentText(std::uint64_t part, std::uint64_t whole, Language language) {
  const double percent =
      whole == 0 ? 0.0 : 100.0 * static_cast<double>(part) / static_cast<double>(whole);
  // A share that rounds to none or to all, though it is not, says so.
  char text[32];
  if (part > 0 && percent < 0.05) {
    (void)std::snprintf(text, sizeof text, "< 0.1 %%");
  } else if (part < whole && percent >= 99.95) {
    (void)std::snprintf(text, sizeof text, "> 99.9 %%");
  } else {
    (void)std::snprintf(text, sizeof text, "%.1f %%", percent);
  }
  return decimal(text, language);
}

// `format` with its "%s" replaced by `values`, one after the other.
std::string filled(const char* format, std::initializer_list<std::string> values) {
  std::string text = format;
  std::size_t at = 0;
  for (const std::string& value : values) {
    at = text.find("%s", at);
    if (at == std::string::npos) break;
    text.replace(at, 2, value);
    at += value.size();
  }
  return text;
}

// The figure's words in each language; "%s" stands for a value.
struct Words {
  const char* heading;
  const char* steepest;
  const char* source;
  const char* area;
  const char* contours;
  const char* denseContours;
  const char* block;
  const char* absolute;
  const char* relative;
  const char* slope;
  const char* classes;
  const char* shares;
  const char* inArea;
  const char* inside;
  const char* reduced;
  const char* cell;
  const char* cells;
  const char* slopeOverBaseline;
  const char* beyond;
};

const Words kEnglish = {
    "Slope (rise over run)",
    "steepest cell, slope %s",
    "source (centre of the area)",
    "computational area",
    "contour lines every %s m",
    "no contour lines: too dense at this scale",
    "block with a cell %s",
    ", absolute)",
    ", relative to gakrx)",
    "Slope of a cell: the larger of the two central differences of the heights over "
    "2 \u00d7 delta = %s m.",
    "A class holds the cells strictly steeper than its lower bound.",
    "Shares of %s",
    " in the computational area",
    "%s % of the computational area lies within the grid.",
    "Each pixel shows the class of most of its block of %s cells; a square marks a block "
    "with a cell %s that does not show it.",
    "cell",
    "cells",
    "Slope of a cell: the larger of the two differences of the heights H before and H after it "
    "over 2 H = %s m (H the stack's height), in the source's area.",
    "source's ground \u00b1 0.7 H (%s m)",
};

const Words kGerman = {
    "Gel\u00e4ndesteigung (H\u00f6he zu Strecke)",
    "steilste Zelle, Steigung %s",
    "Quelle (Mitte des Rechengebiets)",
    "Rechengebiet",
    "H\u00f6henlinien alle %s m",
    "keine H\u00f6henlinien: zu dicht in diesem Ma\u00dfstab",
    "Block mit einer Zelle %s",
    ", absolut)",
    ", relativ zu gakrx)",
    "Steigung einer Zelle: die gr\u00f6\u00dfere der beiden zentralen Differenzen der "
    "H\u00f6hen \u00fcber 2 \u00d7 delta = %s m.",
    "Eine Klasse umfasst die Zellen, die steiler als ihre untere Grenze sind.",
    "Anteile von %s",
    " im Rechengebiet",
    "%s % des Rechengebiets liegen im Gitter.",
    "Jedes Pixel zeigt die Klasse der meisten Zellen seines Blocks von %s Zellen; ein "
    "Quadrat markiert einen Block mit einer Zelle %s, der diese Klasse nicht zeigt.",
    "Zelle",
    "Zellen",
    "Steigung einer Zelle: die gr\u00f6\u00dfere der beiden Differenzen der H\u00f6hen H vor und "
    "H nach ihr \u00fcber 2 H = %s m (H die Schornsteinh\u00f6he), im Rechengebiet der Quelle.",
    "Bodenh\u00f6he der Quelle \u00b1 0,7 H (%s m)",
};

const Words& wordsOf(Language language) {
  return language == Language::German ? kGerman : kEnglish;
}

// Builds the shapes of the drawing.
class Layout {
 public:
  explicit Layout(Drawing& drawing) : drawing_(drawing) {}

  void text(const std::string& words, double size, double x, double baseline,
            Colour colour = kBlack, bool onMap = false) {
    Shape shape;
    shape.kind = ShapeKind::Text;
    shape.colour = colour;
    shape.clipped = onMap;
    shape.text = words;
    shape.size = size;
    shape.x = {x};
    shape.y = {baseline};
    shape.box = {x, baseline - ascent(size), x + textWidth(words, size), baseline + descent(size)};
    drawing_.shapes.push_back(shape);
  }
  void fill(const Box& box, Colour colour, bool clipped = false) {
    Shape shape;
    shape.kind = ShapeKind::Fill;
    shape.colour = colour;
    shape.box = box;
    shape.clipped = clipped;
    drawing_.shapes.push_back(shape);
  }
  void squares(std::vector<double> x, std::vector<double> y, double side, Colour colour) {
    Shape shape;
    shape.kind = ShapeKind::Squares;
    shape.colour = colour;
    shape.x = std::move(x);
    shape.y = std::move(y);
    shape.size = side;
    shape.clipped = true;
    drawing_.shapes.push_back(std::move(shape));
  }
  void frame(const Box& box, double width, Colour colour) {
    fill({box.left - width, box.top - width, box.right + width, box.top}, colour);
    fill({box.left - width, box.bottom, box.right + width, box.bottom + width}, colour);
    fill({box.left - width, box.top, box.left, box.bottom}, colour);
    fill({box.right, box.top, box.right + width, box.bottom}, colour);
  }
  void polygon(const std::vector<double>& x, const std::vector<double>& y, Colour colour,
               bool clipped, const std::vector<std::size_t>& starts = {0}) {
    Shape shape;
    shape.kind = ShapeKind::Polygon;
    shape.colour = colour;
    shape.x = x;
    shape.y = y;
    shape.starts = starts;
    shape.clipped = clipped;
    drawing_.shapes.push_back(shape);
  }
  void ring(double x, double y, double radius, double width, Colour colour, bool clipped) {
    Shape shape;
    shape.kind = ShapeKind::Ring;
    shape.colour = colour;
    shape.x = {x};
    shape.y = {y};
    shape.radius = radius;
    shape.width = width;
    shape.clipped = clipped;
    drawing_.shapes.push_back(shape);
  }
  // Polylines over the map, each from one of `starts` to the next.
  void lines(const std::vector<double>& x, const std::vector<double>& y,
             const std::vector<std::size_t>& starts, double width, Colour colour) {
    Shape shape;
    shape.kind = ShapeKind::Line;
    shape.colour = colour;
    shape.x = x;
    shape.y = y;
    shape.starts = starts;
    shape.width = width;
    shape.clipped = true;
    drawing_.shapes.push_back(shape);
  }

 private:
  Drawing& drawing_;
};

// A star of five points around (x, y), `radius` to its points, with a halo `halo` wider.
// The corners' directions are constants, so that no sine is computed.
void star(Layout& layout, double x, double y, double radius, double halo, Colour colour,
          bool clipped) {
  // cos and sin of 90 + 36 k degrees, k = 0 to 9.
  static const double kCos[10] = {
      0.0, -0.587785252292473, -0.951056516295154, -0.951056516295154, -0.587785252292473,
      0.0, 0.587785252292473,  0.951056516295154,  0.951056516295154,  0.587785252292473};
  static const double kSin[10] = {
      1.0,  0.809016994374947,  0.309016994374947,  -0.309016994374947, -0.809016994374947,
      -1.0, -0.809016994374947, -0.309016994374947, 0.309016994374947,  0.809016994374947};
  for (int pass = 0; pass < 2; ++pass) {
    const double outer = pass == 0 ? radius + halo : radius;
    const double inner = outer * 0.4;
    std::vector<double> xs;
    std::vector<double> ys;
    for (int k = 0; k < 10; ++k) {
      const double r = k % 2 == 0 ? outer : inner;
      xs.push_back(x + r * kCos[k]);
      ys.push_back(y - r * kSin[k]);
    }
    layout.polygon(xs, ys, pass == 0 ? kWhite : colour, clipped);
  }
}

// A hollow triangle pointing up, centred on (x, y), `size` high, its sides a point wide with
// a white halo, so that the cells under it still show.
void triangle(Layout& layout, double x, double y, double size, bool clipped) {
  // A triangle of height h around (x, y), its corners listed one way round or the other.
  const auto corners = [x, y](double h, bool reversed, std::vector<double>& xs,
                              std::vector<double>& ys) {
    const double half = h * 0.577350269189626;  // tan 30 degrees
    const double px[3] = {x - half, x + half, x};
    const double py[3] = {y + h / 3, y + h / 3, y - 2 * h / 3};
    for (int k = 0; k < 3; ++k) {
      xs.push_back(px[reversed ? 2 - k : k]);
      ys.push_back(py[reversed ? 2 - k : k]);
    }
  };
  for (int pass = 0; pass < 2; ++pass) {
    // The inner edge three line widths lower: a side's width is a third of the difference.
    const double outer = pass == 0 ? size + 2.4 : size;
    const double inner = pass == 0 ? size - 5.4 : size - 3.0;
    std::vector<double> xs;
    std::vector<double> ys;
    corners(outer, false, xs, ys);
    corners(inner, true, xs, ys);
    layout.polygon(xs, ys, pass == 0 ? kWhite : kBlack, clipped, {0, 3});
  }
}

// A north arrow whose tip is at (x, top), `height` high, an "N" above it.
void northArrow(Layout& layout, double x, double top, double height) {
  const double half = height * 0.3;
  layout.polygon({x, x + half, x, x - half}, {top, top + height, top + height * 0.75, top + height},
                 kBlack, false);
}

// How the map's pixels stand for the cells: `block` cells a pixel each way (a reduced map),
// or `zoom` pixels a cell each way.
struct Scale {
  std::int64_t block = 1;
  int zoom = 1;
  int width = 0;  // pixels
  int height = 0;
};

Scale scaleFor(std::int64_t cellsWide, std::int64_t cellsHigh, int pixelsWide, int pixelsHigh) {
  Scale scale;
  pixelsWide = std::max(pixelsWide, 1);
  pixelsHigh = std::max(pixelsHigh, 1);
  if (cellsWide > pixelsWide || cellsHigh > pixelsHigh) {
    scale.block = std::max((cellsWide + pixelsWide - 1) / pixelsWide,
                           (cellsHigh + pixelsHigh - 1) / pixelsHigh);
  } else {
    scale.zoom = static_cast<int>(
        std::max<std::int64_t>(1, std::min(pixelsWide / cellsWide, pixelsHigh / cellsHigh)));
  }
  scale.width = static_cast<int>((cellsWide + scale.block - 1) / scale.block) * scale.zoom;
  scale.height = static_cast<int>((cellsHigh + scale.block - 1) / scale.block) * scale.zoom;
  return scale;
}

// Map cells drawn this many pixels across or more are parted by a thin lighter line.
constexpr int kParted = 12;

// One row of the legend: a symbol, its words, and a share right-aligned.
enum class Symbol : std::uint8_t { Swatch, Star, Triangle, Ring, Mark, Contour, None };
struct LegendRow {
  Symbol symbol = Symbol::None;
  Colour colour{0, 0, 0};
  std::string words;
  std::string share;
};

// The figure's plan: the legend's rows and width, and the map's size and axes, with the
// legend beside the map or below it.
struct Plan {
  Language language = Language::English;
  bool km = false;
  std::string unit;
  std::vector<LegendRow> rows;
  std::string heading;
  double rowHeight = 0;
  double symbolWidth = 0;
  double legendWidth = 0;
  double shareRight = 0;  // where the shares' column ends, from the legend's left
  double titleBaseline = 0;
  double yLabelBaseline = 0;
  double mapTop = 0;
  double gutter = 0;  // left of the map: tick labels and ticks
  double rightRoom = kMargin;
  Axis alongX;
  Axis alongY;
  Scale scale;
  bool beside = true;
  double mapWidth = 0;
  double mapHeight = 0;
  std::vector<Circle> circles;  // the areas drawn, each with its source
  bool denseContours = false;   // contour lines too dense to draw at this scale
};

// The words of the legend's rows that the drawing adds once the map's scale and contours are
// known: for a reduced map's marks, for the lines 0.7 H from a source's ground, for contours.
std::string blockWords(const Thresholds& thresholds, Language language) {
  return filled(wordsOf(language).block, {classRule(thresholds, thresholds.count, language)});
}

std::string beyondWords(double stack, Language language) {
  char limit[32];
  (void)std::snprintf(limit, sizeof limit, "%.10g", 0.7 * stack);
  return filled(wordsOf(language).beyond, {decimal(limit, language)});
}

std::string contourWords(double step, Language language) {
  char text[32];
  (void)std::snprintf(text, sizeof text, "%.10g", step);
  return filled(wordsOf(language).contours, {decimal(text, language)});
}

// Whether the lines of `levels` on the relief are too dense to read at the map's scale: more
// pieces than a quarter of the relief's nodes (rough terrain, a line round every node; real
// terrain has a few per hundred nodes). Counted band by band, up to the budget.
bool denseLines(const Relief& relief, const ContourLevels& levels) {
  const std::int64_t budget =
      std::max<std::int64_t>(20000, static_cast<std::int64_t>(relief.wide) * relief.high / 4);
  std::int64_t pieces = 0;
  constexpr int kBand = 16;
  for (int band = 0; band < relief.high && pieces <= budget; band += kBand) {
    contourPieces(relief, levels, band, band + kBand,
                  [&pieces](int, double, double, double, double) { ++pieces; });
  }
  return pieces > budget;
}

Plan planFigure(const FigureContent& content, const FigureSize& size) {
  const ClassMap& classes = *content.classes;
  const Frame& frame = content.frame;
  const Survey& survey = *content.survey;
  const Thresholds& thresholds = content.thresholds;
  const Circle& area = content.area;
  const double k = size.dpi / 72.0;
  const double width = size.width;
  const std::int64_t cellsWide = classes.alongI;
  const std::int64_t cellsHigh = classes.alongJ;
  const double spanX = static_cast<double>(cellsWide) * frame.delta;
  const double spanY = static_cast<double>(cellsHigh) * frame.delta;
  const double westEdge = frame.x(1) - frame.delta / 2;
  const double southEdge = frame.y(1) - frame.delta / 2;
  const double eastEdge = westEdge + spanX;
  const double northEdge = southEdge + spanY;
  const std::vector<Colour> colours = classColours(thresholds.count);
  Plan plan;
  plan.language = content.language;
  const Language language = content.language;
  const Words& words = wordsOf(language);
  // Kilometres on the axes where metres would need six digits or more.
  plan.km = std::max({std::abs(westEdge), std::abs(eastEdge), std::abs(southEdge),
                      std::abs(northEdge)}) >= 1e5;
  plan.unit = plan.km ? "km" : "m";
  const bool km = plan.km;

  // The legend's rows.
  std::vector<LegendRow>& rows = plan.rows;
  for (int c = thresholds.count; c >= 0; --c) {
    rows.push_back({Symbol::Swatch, colours[static_cast<std::size_t>(c)],
                    classRule(thresholds, c, language),
                    percentText(survey.classCells[c], survey.cells, language)});
  }
  char steepest[48];
  (void)std::snprintf(steepest, sizeof steepest, "%.4f", survey.maxSlope);
  if (survey.cells > 0) {
    rows.push_back(
        {Symbol::Triangle, kBlack, filled(words.steepest, {decimal(steepest, language)}), ""});
  }
  std::vector<Circle> circles = content.sources;
  if (area.given) circles.insert(circles.begin(), area);
  plan.circles = circles;
  if (!circles.empty()) {
    rows.push_back({Symbol::Star, kBlack, words.source, ""});
    rows.push_back({Symbol::Ring, kBlack, words.area, ""});
  }
  plan.heading = words.heading;
  plan.rowHeight = kLabelSize * 1.45;
  plan.symbolWidth = kLabelSize * 2.2;
  const double symbolWidth = plan.symbolWidth;
  // The shares stand in a column right of the classes' rules; the other rows' words may
  // reach past it.
  double rulesWidth = 0;
  double shareWidth = 0;
  double legendWidth = textWidth(plan.heading, kLabelSize);
  for (const LegendRow& row : rows) {
    if (row.share.empty()) {
      legendWidth = std::max(legendWidth, symbolWidth + textWidth(row.words, kLabelSize));
    } else {
      rulesWidth = std::max(rulesWidth, textWidth(row.words, kLabelSize));
      shareWidth = std::max(shareWidth, textWidth(row.share, kLabelSize));
    }
  }
  plan.shareRight = symbolWidth + rulesWidth + kLabelSize + shareWidth;
  legendWidth = std::max(legendWidth, plan.shareRight);
  // The rows the drawing adds count too, so that the legend stays where it is planned.
  const auto rowWidth = [&](const std::string& text) {
    return symbolWidth + textWidth(text, kLabelSize);
  };
  if (content.stack > 0 && content.relief != nullptr) {
    legendWidth = std::max(legendWidth, rowWidth(beyondWords(content.stack, language)));
  }
  if (content.relief != nullptr && content.contourStep >= 0) {
    const ContourLevels levels = contourLevels(*content.relief, content.contourStep);
    plan.denseContours = levels.count > 0 && denseLines(*content.relief, levels);
    if (plan.denseContours) {
      legendWidth = std::max(legendWidth, rowWidth(words.denseContours));
    } else if (levels.count > 0) {
      legendWidth = std::max(legendWidth, rowWidth(contourWords(levels.step, language)));
    }
  }
  const double blockWidth = rowWidth(blockWords(thresholds, language));

  // The map: as wide as the room beside the legend, or below it where the map would keep
  // less than half the figure's width; at most 1.25 times the figure's width high.
  const double titleTop = kMargin;
  plan.titleBaseline = titleTop + ascent(kTitleSize);
  plan.yLabelBaseline = plan.titleBaseline + descent(kTitleSize) + kLabelSize * 1.4;
  plan.mapTop = plan.yLabelBaseline + descent(kLabelSize) + kTickSize * 0.9;
  double& gutter = plan.gutter;
  double& rightRoom = plan.rightRoom;
  Axis& alongX = plan.alongX;
  Axis& alongY = plan.alongY;
  Scale& scale = plan.scale;
  bool& beside = plan.beside;
  double& mapWidth = plan.mapWidth;
  double& mapHeight = plan.mapHeight;
  for (int pass = 0; pass < 5; ++pass) {
    const double left = kMargin + gutter + kTickLength + 2.0;
    const double besideRoom = width - left - rightRoom - legendWidth - 3 * kMargin;
    beside = besideRoom >= 0.45 * width;
    const double room = beside ? besideRoom : width - left - rightRoom;
    // (Room is left for the title, the axes, a caption and a legend below, so that the
    // figure keeps within kMostFigurePixels.)
    const double tallest = std::max(36.0, std::min(1.25 * width, kMostFigurePixels / k - 400.0));
    double wide = room;
    double high = room * spanY / spanX;
    if (high > tallest) {
      high = tallest;
      wide = tallest * spanX / spanY;
    }
    scale = scaleFor(cellsWide, cellsHigh, static_cast<int>(wide * k), static_cast<int>(high * k));
    if (pass < 4 && scale.block > 1 && blockWidth > legendWidth) {
      legendWidth = blockWidth;  // a reduced map's legend has the marks' row
      continue;
    }
    mapWidth = scale.width / k;
    mapHeight = scale.height / k;
    alongX = chooseAxis(westEdge, eastEdge, mapWidth, km, language,
                        [](const Axis& axis) { return axis.widest + 1.5 * kTickSize; });
    alongY = chooseAxis(southEdge, northEdge, mapHeight, km, language,
                        [](const Axis&) { return 3.0 * kTickSize; });
    const double needed = alongY.widest;
    // Half the widest x label may stand out right of the map.
    const double needRight = std::max(kMargin, alongX.widest / 2 + 2.0);
    if (needed <= gutter && needRight <= rightRoom) break;
    gutter = std::max(gutter, needed);
    rightRoom = std::max(rightRoom, needRight);
  }
  plan.legendWidth = legendWidth;
  return plan;
}

}  // namespace

std::int64_t figureBlock(const FigureContent& content, const FigureSize& size) {
  return planFigure(content, size).scale.block;
}

ResultCode writeFigure(std::FILE* file, const FigureContent& content, const FigureSize& size,
                       FigureFacts& facts) {
  const ClassMap& classes = *content.classes;
  const Frame& frame = content.frame;
  const Survey& survey = *content.survey;
  const Thresholds& thresholds = content.thresholds;
  const Circle& area = content.area;
  const double k = size.dpi / 72.0;  // pixels a point
  const double width = size.width;
  const std::int64_t cellsWide = classes.alongI;
  const std::int64_t cellsHigh = classes.alongJ;
  const double spanX = static_cast<double>(cellsWide) * frame.delta;
  const double spanY = static_cast<double>(cellsHigh) * frame.delta;
  const double westEdge = frame.x(1) - frame.delta / 2;
  const double southEdge = frame.y(1) - frame.delta / 2;
  const double northEdge = southEdge + spanY;
  const std::vector<Colour> colours = classColours(thresholds.count);
  try {
    Drawing drawing;
    Layout layout(drawing);
    Plan plan = planFigure(content, size);
    const Language language = content.language;
    const Words& words = wordsOf(language);
    const std::string& unit = plan.unit;
    std::vector<LegendRow>& rows = plan.rows;
    const std::string& heading = plan.heading;
    const double rowHeight = plan.rowHeight;
    const double symbolWidth = plan.symbolWidth;
    double legendWidth = plan.legendWidth;
    const double shareRight = plan.shareRight;
    const double titleBaseline = plan.titleBaseline;
    const double yLabelBaseline = plan.yLabelBaseline;
    const double mapTop = plan.mapTop;
    const double gutter = plan.gutter;
    const double rightRoom = plan.rightRoom;
    const Axis& alongX = plan.alongX;
    const Axis& alongY = plan.alongY;
    const Scale& scale = plan.scale;
    bool beside = plan.beside;
    const double mapWidth = plan.mapWidth;
    const double mapHeight = plan.mapHeight;
    const double mapLeft = std::floor((kMargin + gutter + kTickLength + 2.0) * k) / k;
    const double mapTopSnapped = std::floor(mapTop * k) / k;
    const Box map{mapLeft, mapTopSnapped, mapLeft + mapWidth, mapTopSnapped + mapHeight};
    drawing.map = map;
    drawing.mapWidth = scale.width;
    drawing.mapHeight = scale.height;

    // The map's pixels: the class of each cell, or of most of each block.
    const int markPixels = std::max(3, static_cast<int>(std::ceil(kMarkSize * k)));
    const int reach = scale.block > 1 ? (markPixels + 1) / 2 : 0;
    auto reduced = std::make_shared<ReducedMap>();
    if (!reduceClasses(classes, scale.block, thresholds.count, reach, *reduced)) {
      return OutOfMemory;
    }
    const int zoom = scale.zoom;
    const int blocksWide = reduced->wide;
    // The relief, where it was reduced as this map is.
    const Relief* relief = content.relief;
    if (relief != nullptr && (relief->block != scale.block || relief->wide != reduced->wide ||
                              relief->high != reduced->high)) {
      relief = nullptr;
    }
    auto nodeColours = std::make_shared<std::vector<Colour>>(static_cast<std::size_t>(blocksWide));
    auto nodeShades = std::make_shared<std::vector<double>>(static_cast<std::size_t>(blocksWide));
    drawing.mapRow = [reduced, relief, zoom, blocksWide, colours, nodeColours, nodeShades](
                         int y, std::uint8_t* rgb) {
      const int node = y / zoom;
      const std::uint8_t* const line =
          &reduced->shown[static_cast<std::size_t>(node) * static_cast<std::size_t>(blocksWide)];
      // Each node's colour once for its rows of pixels.
      std::vector<Colour>& shown = *nodeColours;
      if (y % zoom == 0) {
        std::vector<double>& shades = *nodeShades;
        if (relief != nullptr) shadeRow(*relief, node, shades.data());
        for (int column = 0; column < blocksWide; ++column) {
          const double shade = shades[static_cast<std::size_t>(column)];
          const std::uint8_t block = line[column];
          shown[static_cast<std::size_t>(column)] =
              block == kOutsideArea ? outsideColour(shade) : shaded(colours[block - 1U], shade);
        }
      }
      const bool partedRow = zoom >= kParted && y % zoom == 0 && y > 0;
      for (int x = 0; x < blocksWide * zoom; ++x) {
        Colour colour = shown[static_cast<std::size_t>(x / zoom)];
        if (partedRow || (zoom >= kParted && x % zoom == 0 && x > 0)) {
          // A thin line a third of the way to white between large cells.
          colour = {static_cast<std::uint8_t>(colour.red + (255 - colour.red) / 3),
                    static_cast<std::uint8_t>(colour.green + (255 - colour.green) / 3),
                    static_cast<std::uint8_t>(colour.blue + (255 - colour.blue) / 3)};
        }
        std::uint8_t* const pixel = rgb + static_cast<std::ptrdiff_t>(3) * x;
        pixel[0] = colour.red;
        pixel[1] = colour.green;
        pixel[2] = colour.blue;
      }
    };

    // Where a point of the frame's coordinates falls on the map, in points.
    const double perMetre = mapWidth / spanX;
    auto across = [&](double x) { return map.left + (x - westEdge) * perMetre; };
    auto down = [&](double y) { return map.top + (northEdge - y) * perMetre; };

    // Contour lines over the relief: each level's pieces in bands of rows, every fifth level
    // stronger and labelled where a label fits (clear of the source's and the steepest cell's
    // marks).
    std::vector<Box> contourLabels;
    contourLabels.reserve(plan.circles.size() + 1);
    for (const Circle& circle : plan.circles) {
      contourLabels.push_back(
          {across(circle.x) - 6, down(circle.y) - 6, across(circle.x) + 6, down(circle.y) + 6});
    }
    if (survey.cells > 0) {
      const double sx = across(frame.x(survey.maxI));
      const double sy = down(frame.y(survey.maxJ));
      contourLabels.push_back({sx - 6, sy - 6, sx + 6, sy + 6});
    }
    const bool dense = plan.denseContours;
    if (relief != nullptr && content.contourStep >= 0) {
      ContourLevels levels = contourLevels(*relief, content.contourStep);
      if (dense) levels.count = 0;
      facts.contourStep = levels.count > 0 ? levels.step : 0.0;
      facts.contourLevels.clear();
      const double nodePoints = zoom / k;
      ContourLevels one;  // one level at a time, for the labels
      one.step = levels.step;
      one.count = 1;
      for (int c = 0; c < levels.count; ++c)
        facts.contourLevels.push_back(levels.first + c * levels.step);
      // Each level's pieces of a band of rows as one shape.
      constexpr int kBand = 16;
      std::vector<std::vector<double>> xs(static_cast<std::size_t>(levels.count));
      std::vector<std::vector<double>> ys(xs.size());
      std::vector<std::vector<std::size_t>> starts(xs.size());
      for (int band = 0; band < relief->high; band += kBand) {
        contourPieces(*relief, levels, band, band + kBand,
                      [&](int c, double x0, double y0, double x1, double y1) {
                        const auto at = static_cast<std::size_t>(c);
                        starts[at].push_back(xs[at].size());
                        xs[at].push_back(map.left + (x0 + 0.5) * nodePoints);
                        ys[at].push_back(map.top + (y0 + 0.5) * nodePoints);
                        xs[at].push_back(map.left + (x1 + 0.5) * nodePoints);
                        ys[at].push_back(map.top + (y1 + 0.5) * nodePoints);
                      });
        for (std::size_t c = 0; c < xs.size(); ++c) {
          if (starts[c].empty()) continue;
          const bool index = levels.index(static_cast<int>(c));
          layout.lines(xs[c], ys[c], starts[c], index ? kIndexContour : kContour,
                       index ? kIndexContourColour : kContourColour);
          xs[c].clear();
          ys[c].clear();
          starts[c].clear();
        }
      }
      // With a source: the lines 0.7 H above and below its ground, strong, on a white halo.
      if (content.stack > 0) {
        for (const double level :
             {content.ground - 0.7 * content.stack, content.ground + 0.7 * content.stack}) {
          ContourLevels line;
          line.first = level;
          line.step = 1.0;
          line.count = 1;
          if (denseLines(*relief, line)) continue;
          std::vector<double> lx;
          std::vector<double> ly;
          std::vector<std::size_t> ls;
          contourPieces(*relief, line, 0, relief->high,
                        [&](int, double x0, double y0, double x1, double y1) {
                          ls.push_back(lx.size());
                          lx.push_back(map.left + (x0 + 0.5) * nodePoints);
                          ly.push_back(map.top + (y0 + 0.5) * nodePoints);
                          lx.push_back(map.left + (x1 + 0.5) * nodePoints);
                          ly.push_back(map.top + (y1 + 0.5) * nodePoints);
                        });
          if (ls.empty()) continue;
          layout.lines(lx, ly, ls, kBeyondLine + 1.2, kWhite);
          layout.lines(lx, ly, ls, kBeyondLine, kBeyondColour);
        }
      }
      // Labels of the index contours: at most two a level, on a piece near the middle of
      // the map's rows and one near a third, where the label's box lies within the map and
      // clear of the labels before it.
      for (int c = 0; c < levels.count; ++c) {
        if (!levels.index(c)) continue;
        const double level = levels.first + c * levels.step;
        char text[32];
        (void)std::snprintf(text, sizeof text, "%.*f", levels.step >= 1 ? 0 : 1, level);
        const std::string label = decimal(text, language);
        const double labelWidth = textWidth(label, kContourLabelSize);
        int placed = 0;
        for (const double share : {0.5, 0.25, 0.75}) {
          if (placed == 2) break;
          const int from = static_cast<int>(share * relief->high);
          bool done = false;
          for (int row = from; row < relief->high - 1 && !done; row += 4) {
            one.first = level;
            contourPieces(
                *relief, one, row, row + 1, [&](int, double x0, double y0, double x1, double y1) {
                  if (done) return;
                  const double cx = map.left + ((x0 + x1) / 2 + 0.5) * nodePoints;
                  const double cy = map.top + ((y0 + y1) / 2 + 0.5) * nodePoints;
                  const Box box{
                      cx - labelWidth / 2 - 1.0, cy - capHeight(kContourLabelSize) / 2 - 1.5,
                      cx + labelWidth / 2 + 1.0, cy + capHeight(kContourLabelSize) / 2 + 1.5};
                  if (box.left < map.left + 2 || box.right > map.right - 2 ||
                      box.top < map.top + 2 || box.bottom > map.bottom - 2) {
                    return;
                  }
                  for (const Box& other : contourLabels) {
                    if (box.left < other.right + 20 && other.left < box.right + 20 &&
                        box.top < other.bottom + 20 && other.top < box.bottom + 20) {
                      return;
                    }
                  }
                  contourLabels.push_back(box);
                  done = true;
                });
          }
          if (done) ++placed;
        }
        for (std::size_t b = contourLabels.size() - static_cast<std::size_t>(placed);
             b < contourLabels.size(); ++b) {
          const Box& box = contourLabels[b];
          layout.fill(box, kLabelBackground, true);
          layout.text(label, kContourLabelSize, box.left + 1.0, box.bottom - 1.5,
                      kIndexContourColour, true);
        }
      }
    }

    // Blocks that hold a cell of the steepest class without showing it.
    const Colour steepestColour = colours.back();
    if (scale.block > 1) {
      std::vector<double> xs;
      std::vector<double> ys;
      for (int line = 0; line < reduced->high; ++line) {
        for (int column = 0; column < reduced->wide; ++column) {
          if (reduced->marked[static_cast<std::size_t>(line) * reduced->wide + column] == 0)
            continue;
          xs.push_back(map.left + (column + 0.5) / k);
          ys.push_back(map.top + (line + 0.5) / k);
        }
      }
      if (!xs.empty()) layout.squares(std::move(xs), std::move(ys), markPixels / k, steepestColour);
    }
    // Each area, its source and the steepest cell, kept to the map.
    for (const Circle& circle : plan.circles) {
      const double cx = across(circle.x);
      const double cy = down(circle.y);
      const double radius = circle.radius * perMetre;
      layout.ring(cx, cy, radius, kAreaLine + 1.5, kWhite, true);
      layout.ring(cx, cy, radius, kAreaLine, kBlack, true);
      star(layout, cx, cy, 5.0, 1.2, kBlack, true);
    }
    if (survey.cells > 0) {
      triangle(layout, across(frame.x(survey.maxI)), down(frame.y(survey.maxJ)), 10.0, true);
    }
    layout.frame(map, kFrameLine, kBlack);

    // The axes.
    const double stepX = alongX.step.value();
    for (std::int64_t t = 0; t < alongX.ticks.count; ++t) {
      const double at = across((alongX.ticks.first + static_cast<double>(t)) * stepX);
      layout.fill({at - kThinLine / 2, map.bottom + kFrameLine, at + kThinLine / 2,
                   map.bottom + kFrameLine + kTickLength},
                  kBlack);
      const std::string& label = alongX.labels[static_cast<std::size_t>(t)];
      layout.text(label, kTickSize, at - textWidth(label, kTickSize) / 2,
                  map.bottom + kFrameLine + kTickLength + 2.0 + ascent(kTickSize));
    }
    const double stepY = alongY.step.value();
    for (std::int64_t t = 0; t < alongY.ticks.count; ++t) {
      const double at = down((alongY.ticks.first + static_cast<double>(t)) * stepY);
      layout.fill({map.left - kFrameLine - kTickLength, at - kThinLine / 2, map.left - kFrameLine,
                   at + kThinLine / 2},
                  kBlack);
      const std::string& label = alongY.labels[static_cast<std::size_t>(t)];
      layout.text(label, kTickSize,
                  map.left - kFrameLine - kTickLength - 1.5 - textWidth(label, kTickSize),
                  at + capHeight(kTickSize) / 2);
    }
    layout.text("y (" + unit + ")", kLabelSize, kMargin, yLabelBaseline);
    const std::string xLabel =
        std::string("x (") + unit + (frame.absolute ? words.absolute : words.relative);
    double below = map.bottom + kFrameLine + kTickLength + 2.0 + ascent(kTickSize) +
                   descent(kTickSize) + kLabelSize * 0.4;
    below += ascent(kLabelSize);
    const std::string xShown = fitted(xLabel, kLabelSize, width - 2 * kMargin);
    layout.text(
        xShown, kLabelSize,
        std::min(std::max(kMargin, map.left + mapWidth / 2 - textWidth(xShown, kLabelSize) / 2),
                 width - kMargin - textWidth(xShown, kLabelSize)),
        below);
    below += descent(kLabelSize);
    layout.text(fitted(content.title, kTitleSize, width - 2 * kMargin), kTitleSize, kMargin,
                titleBaseline);

    if (scale.block > 1) {
      rows.push_back({Symbol::Mark, steepestColour, blockWords(thresholds, language), ""});
      legendWidth = std::max(legendWidth, symbolWidth + textWidth(rows.back().words, kLabelSize));
    }
    if (content.stack > 0 && relief != nullptr) {
      rows.push_back({Symbol::Contour, kBeyondColour, beyondWords(content.stack, language), ""});
      legendWidth = std::max(legendWidth, symbolWidth + textWidth(rows.back().words, kLabelSize));
    }
    if (facts.contourStep > 0 || dense) {
      rows.push_back(
          {dense ? Symbol::None : Symbol::Contour, kIndexContourColour,
           dense ? std::string(words.denseContours) : contourWords(facts.contourStep, language),
           ""});
      legendWidth = std::max(legendWidth, symbolWidth + textWidth(rows.back().words, kLabelSize));
    }
    // The scale bar, at least an eighth of the map's longer side, with the north arrow right
    // of it: where that row is wider than the room beside the map, the legend goes below.
    const double longer = std::max(spanX, spanY);
    const Step barStep = stepAtLeast(longer / 8);
    const double barLength = barStep.value();
    const double barPoints = barLength * perMetre;
    const std::string barText = barLength >= 1000.0
                                    ? tickLabel(barLength, barStep, true, language) + " km"
                                    : tickLabel(barLength, barStep, false, language) + " m";
    const double arrowOffset = barPoints + 4.0 + textWidth(barText, kLabelSize) + 2 * kLabelSize;
    legendWidth = std::max(legendWidth, arrowOffset + kLabelSize);
    double legendLeft = map.right + rightRoom + 2 * kMargin;
    if (beside && legendLeft + legendWidth > width - kMargin) beside = false;
    if (!beside) legendLeft = kMargin;

    // The legend with its top at `top`; returns its bottom.
    const auto drawLegend = [&](double top) {
      double y = top + ascent(kLabelSize);
      layout.text(heading, kLabelSize, legendLeft, y);
      y += rowHeight * 1.2;
      for (const LegendRow& row : rows) {
        const double middle = y - capHeight(kLabelSize) / 2;
        const double sx = legendLeft + symbolWidth * 0.4;
        switch (row.symbol) {
          case Symbol::Swatch: {
            const Box swatch{legendLeft, y - capHeight(kLabelSize) - 1.0,
                             legendLeft + symbolWidth * 0.8, y + 1.0};
            layout.fill(swatch, row.colour);
            layout.frame(swatch, kThinLine / 2, kBlack);
            break;
          }
          case Symbol::Star:
            star(layout, sx, middle, 4.5, 1.0, kBlack, false);
            break;
          case Symbol::Triangle:
            triangle(layout, sx, middle, 8.0, false);
            break;
          case Symbol::Ring:
            layout.ring(sx, middle, 4.0, kAreaLine, kBlack, false);
            break;
          case Symbol::Mark: {
            const double half = kMarkSize / 2;
            layout.fill({sx - half, middle - half, sx + half, middle + half}, row.colour);
            break;
          }
          case Symbol::Contour:
            layout.fill({legendLeft, middle - kIndexContour / 2, legendLeft + symbolWidth * 0.8,
                         middle + kIndexContour / 2},
                        row.colour);
            break;
          case Symbol::None:
            break;
        }
        layout.text(row.words, kLabelSize, legendLeft + symbolWidth, y);
        if (!row.share.empty()) {
          layout.text(row.share, kLabelSize,
                      legendLeft + shareRight - textWidth(row.share, kLabelSize), y);
        }
        y += rowHeight;
      }
      y += rowHeight;
      const double barTop = y - capHeight(kLabelSize);
      layout.fill({legendLeft, barTop + 2.0, legendLeft + barPoints, barTop + 4.0}, kBlack);
      layout.fill({legendLeft, barTop, legendLeft + kThinLine, barTop + 6.0}, kBlack);
      layout.fill(
          {legendLeft + barPoints - kThinLine, barTop, legendLeft + barPoints, barTop + 6.0},
          kBlack);
      layout.text(barText, kLabelSize, legendLeft + barPoints + 4.0, y);
      const double arrowX = legendLeft + arrowOffset;
      northArrow(layout, arrowX, barTop - 2.0, 10.0);
      layout.text("N", kLabelSize, arrowX - textWidth("N", kLabelSize) / 2, barTop - 3.0);
      return y + descent(kLabelSize) + 4.0;
    };
    const double legendBottom = beside ? drawLegend(map.top) : 0.0;

    // The caption, under the map and a legend beside it, as wide as the figure.
    char baseline[32];
    (void)std::snprintf(baseline, sizeof baseline, "%.10g", 2 * frame.delta);
    char overTwoH[32];
    (void)std::snprintf(overTwoH, sizeof overTwoH, "%.10g", 2 * content.stack);
    std::string caption =
        (content.overBaseline ? filled(words.slopeOverBaseline, {decimal(overTwoH, language)})
                              : filled(words.slope, {decimal(baseline, language)})) +
        " " + words.classes + " " +
        filled(words.shares, {countText(survey.cells, language) + " " +
                              (survey.cells == 1 ? words.cell : words.cells)}) +
        (area.given ? words.inArea : "") + ".";
    if (area.given && content.areaInside < 1.0) {
      char inside[32];
      (void)std::snprintf(inside, sizeof inside, "%.1f", 100.0 * content.areaInside);
      caption += std::string(" ") + filled(words.inside, {decimal(inside, language)});
    }
    if (scale.block > 1) {
      caption += std::string(" ") +
                 filled(words.reduced,
                        {std::to_string(scale.block) + " \u00d7 " + std::to_string(scale.block),
                         classRule(thresholds, thresholds.count, language)});
    }
    double captionY = std::max(below, legendBottom) + kCaptionSize * 0.4;
    for (const std::string& line : wrapped(caption, kCaptionSize, width - 2 * kMargin)) {
      captionY += kCaptionSize * 1.25;
      layout.text(line, kCaptionSize, kMargin, captionY);
    }
    captionY += descent(kCaptionSize);
    const double bottom = beside ? captionY : drawLegend(captionY + kLabelSize * 0.8);

    drawing.width = width;
    drawing.height = bottom + kMargin;
    facts.width = pixelAt(drawing.width, k);
    facts.height = pixelAt(drawing.height, k);
    facts.map = {pixelAt(map.left, k), pixelAt(map.top, k), pixelAt(map.left, k) + scale.width,
                 pixelAt(map.top, k) + scale.height};
    facts.block = scale.block;
    facts.zoom = scale.zoom;
    facts.markReach = reach;
    facts.labels.clear();
    for (const Shape& shape : drawing.shapes) {
      if (shape.kind != ShapeKind::Text) continue;
      facts.labels.push_back({shape.text,
                              {pixelAt(shape.box.left, k), pixelAt(shape.box.top, k),
                               pixelAt(shape.box.right, k), pixelAt(shape.box.bottom, k)},
                              shape.clipped});
    }
    return writeDrawingPng(file, drawing, k);
  } catch (const std::bad_alloc&) {
    return OutOfMemory;
  }
}

}  // namespace trasop
