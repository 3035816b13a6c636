#include "map/type.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "map/type_engine.h"
#include "map/type_face.h"
#include "map/utf8.h"

namespace trasop {

namespace {

// The font, read once from the table built in.
struct Face {
  stbtt_fontinfo info{};
  double unitsPerEm = 2048.0;
  int capHeight = 0;
  int ascent = 0;
  int descent = 0;
  int fallback = 0;  // the glyph of "?", for characters the font lacks

  Face() {
    (void)stbtt_InitFont(&info, kTypeFace, 0);
    unitsPerEm = static_cast<double>(info.data[info.head + 18] << 8 | info.data[info.head + 19]);
    int x0 = 0;
    int y0 = 0;
    int x1 = 0;
    int lineGap = 0;
    (void)stbtt_GetCodepointBox(&info, 'H', &x0, &y0, &x1, &capHeight);
    stbtt_GetFontVMetrics(&info, &ascent, &descent, &lineGap);
    descent = -descent;
    fallback = stbtt_FindGlyphIndex(&info, '?');
  }

  int glyph(std::uint32_t code) const {
    const int found = stbtt_FindGlyphIndex(&info, static_cast<int>(code));
    return found != 0 ? found : fallback;
  }
};

const Face& face() {
  static const Face theFace;
  return theFace;
}

// Calls visit(glyph, offset) for each glyph of `utf8`, `offset` its pen position from the
// start in font units, and returns the advance of the whole text in font units.
template <typename Visit>
std::int64_t eachGlyph(const std::string& utf8, Visit visit) {
  const Face& font = face();
  std::int64_t pen = 0;
  int previous = -1;
  forEachCode(utf8, [&](std::uint32_t code, std::size_t) {
    const int glyph = font.glyph(code);
    if (previous >= 0) pen += stbtt_GetGlyphKernAdvance(&font.info, previous, glyph);
    visit(glyph, pen);
    int advance = 0;
    int bearing = 0;
    stbtt_GetGlyphHMetrics(&font.info, glyph, &advance, &bearing);
    pen += advance;
    previous = glyph;
  });
  return pen;
}

// A coverage bitmap of the size of a box of pixels, painted into the picture.
void paintBitmap(const std::vector<unsigned char>& bitmap, int width, int height, int left, int top,
                 const std::function<void(int column, int row, std::uint8_t coverage)>& paint) {
  for (int r = 0; r < height; ++r) {
    for (int c = 0; c < width; ++c) {
      const unsigned char coverage = bitmap[static_cast<std::size_t>(r) * width + c];
      if (coverage != 0) paint(left + c, top + r, coverage);
    }
  }
}

}  // namespace

double textWidth(const std::string& utf8, double size) {
  const std::int64_t units = eachGlyph(utf8, [](int, std::int64_t) {});
  return static_cast<double>(units) * size / face().unitsPerEm;
}

double capHeight(double size) { return face().capHeight * size / face().unitsPerEm; }
double ascent(double size) { return face().ascent * size / face().unitsPerEm; }
double descent(double size) { return face().descent * size / face().unitsPerEm; }

void setText(const std::string& utf8, double size, double x, double y,
             const std::function<void(int column, int row, std::uint8_t coverage)>& paint) {
  const Face& font = face();
  const auto scale = static_cast<float>(size / font.unitsPerEm);
  // The baseline on a row of pixels, so that the glyphs stand on it sharply; along the line
  // each glyph is placed to a fraction of a pixel.
  const int baseline = static_cast<int>(std::floor(y + 0.5));
  std::vector<unsigned char> bitmap;
  eachGlyph(utf8, [&](int glyph, std::int64_t pen) {
    const double at = x + static_cast<double>(pen) * size / font.unitsPerEm;
    const double whole = std::floor(at);
    const auto shift = static_cast<float>(at - whole);
    int x0 = 0;
    int y0 = 0;
    int x1 = 0;
    int y1 = 0;
    stbtt_GetGlyphBitmapBoxSubpixel(&font.info, glyph, scale, scale, shift, 0.0F, &x0, &y0, &x1,
                                    &y1);
    const int width = x1 - x0;
    const int height = y1 - y0;
    if (width <= 0 || height <= 0) return;
    bitmap.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
    stbtt_MakeGlyphBitmapSubpixel(&font.info, bitmap.data(), width, height, width, scale, scale,
                                  shift, 0.0F, glyph);
    paintBitmap(bitmap, width, height, static_cast<int>(whole) + x0, baseline + y0, paint);
  });
}

void fillOutline(const Outline& outline,
                 const std::function<void(int column, int row, std::uint8_t coverage)>& paint) {
  if (outline.x.empty() || outline.x.size() != outline.y.size()) return;
  // The vertices go to the rasterizer in eighths of a pixel from the outline's corner, as
  // 16-bit integers: an outline of more than 4000 pixels across is left out.
  constexpr double kSteps = 8.0;
  const auto [xLow, xHigh] = std::minmax_element(outline.x.begin(), outline.x.end());
  const auto [yLow, yHigh] = std::minmax_element(outline.y.begin(), outline.y.end());
  // So is one that lies beyond any picture's pixels (a mark far off the map).
  constexpr double kFar = 1e7;
  const auto near = [](double v) { return std::abs(v) < kFar; };
  if (!near(*xLow) || !near(*xHigh) || !near(*yLow) || !near(*yHigh) || *xHigh - *xLow > 4000.0 ||
      *yHigh - *yLow > 4000.0) {
    return;
  }
  const double left = std::floor(*xLow);
  const double top = std::floor(*yLow);
  const int width = static_cast<int>(std::ceil(*xHigh) - left) + 1;
  const int height = static_cast<int>(std::ceil(*yHigh) - top) + 1;
  std::vector<stbtt_vertex> vertices(outline.x.size() + outline.starts.size());
  std::size_t count = 0;
  for (std::size_t k = 0; k < outline.starts.size(); ++k) {
    const std::size_t first = outline.starts[k];
    const std::size_t end =
        k + 1 < outline.starts.size() ? outline.starts[k + 1] : outline.x.size();
    for (std::size_t v = first; v < end && v < outline.x.size(); ++v) {
      stbtt_vertex& vertex = vertices[count++];
      vertex = stbtt_vertex{};
      vertex.type = v == first ? STBTT_vmove : STBTT_vline;
      vertex.x = static_cast<short>(std::floor((outline.x[v] - left) * kSteps + 0.5));
      vertex.y = static_cast<short>(std::floor((outline.y[v] - top) * kSteps + 0.5));
    }
    // Back to the contour's first vertex.
    if (end > first && end <= outline.x.size()) {
      stbtt_vertex& closing = vertices[count++];
      closing = vertices[count - 1 - (end - first)];
      closing.type = STBTT_vline;
    }
  }
  std::vector<unsigned char> bitmap(static_cast<std::size_t>(width) *
                                    static_cast<std::size_t>(height));
  stbtt__bitmap target{width, height, width, bitmap.data()};
  const auto scale = static_cast<float>(1.0 / kSteps);
  stbtt_Rasterize(&target, 0.35F, vertices.data(), static_cast<int>(count), scale, scale, 0.0F,
                  0.0F, 0, 0, 0, nullptr);
  paintBitmap(bitmap, width, height, static_cast<int>(left), static_cast<int>(top), paint);
}

}  // namespace trasop
