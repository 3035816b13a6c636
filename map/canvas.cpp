#include "map/canvas.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "map/font.h"
#include "map/utf8.h"

namespace trasop {

Canvas::Canvas(int width, int height, std::uint8_t background)
    : width_(width),
      height_(height),
      pixels_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), background) {}

void Canvas::set(int x, int y, std::uint8_t colour) {
  if (x >= 0 && y >= 0 && x < width_ && y < height_) row(y)[x] = colour;
}

void Canvas::fill(int x, int y, int width, int height, std::uint8_t colour) {
  const int x0 = std::max(x, 0);
  const int x1 = std::min(x + width, width_);
  for (int py = std::max(y, 0); py < std::min(y + height, height_); ++py) {
    if (x1 > x0) std::fill(row(py) + x0, row(py) + x1, colour);
  }
}

void Canvas::frame(int x, int y, int width, int height, std::uint8_t colour) {
  fill(x, y, width, 1, colour);
  fill(x, y + height - 1, width, 1, colour);
  fill(x, y, 1, height, colour);
  fill(x + width - 1, y, 1, height, colour);
}

void Canvas::line(int x0, int y0, int x1, int y1, std::uint8_t colour) {
  const int dx = std::abs(x1 - x0);
  const int dy = -std::abs(y1 - y0);
  const int sx = x0 < x1 ? 1 : -1;
  const int sy = y0 < y1 ? 1 : -1;
  for (int error = dx + dy;;) {
    set(x0, y0, colour);
    if (x0 == x1 && y0 == y1) return;
    const int twice = 2 * error;
    if (twice >= dy) {
      error += dy;
      x0 += sx;
    }
    if (twice <= dx) {
      error += dx;
      y0 += sy;
    }
  }
}

void Canvas::circle(double cx, double cy, double radius, int thickness, std::uint8_t colour) {
  if (!std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(radius)) return;
  // Only the rows and columns of the canvas are visited, whatever the circle's size.
  const int top = static_cast<int>(
      std::min(std::max(std::floor(cy - radius - 1), 0.0), static_cast<double>(height_)));
  const int bottom =
      static_cast<int>(std::max(std::min(std::ceil(cy + radius + 1), height_ - 1.0), -1.0));
  const double inner = std::max(0.0, radius - thickness);
  auto column = [this](double x) {
    return static_cast<int>(std::min(std::max(x, -1.0), static_cast<double>(width_)));
  };
  for (int y = top; y <= bottom; ++y) {
    const double dy = y + 0.5 - cy;
    const double outerSpan = radius * radius - dy * dy;
    if (outerSpan < 0) continue;
    const double outerHalf = std::sqrt(outerSpan);
    const double innerSpan = inner * inner - dy * dy;
    const double innerHalf = innerSpan > 0 ? std::sqrt(innerSpan) : 0.0;
    // The two pieces of the ring on this row: left and right of the inner circle.
    for (const int side : {-1, 1}) {
      const double from = cx + side * innerHalf;
      const double to = cx + side * outerHalf;
      const int a = column(std::floor(std::min(from, to)));
      const int b = column(std::ceil(std::max(from, to)));
      for (int x = a; x < b; ++x) set(x, y, colour);
    }
  }
}

void Canvas::text(int x, int y, const std::string& utf8, std::uint8_t colour, int scale) {
  forEachCode(utf8, [&](std::uint32_t code, std::size_t) {
    const Glyph& glyph = glyphOf(code);
    for (int r = 0; r < kGlyphHeight; ++r) {
      for (int c = 0; c < kGlyphWidth; ++c) {
        if ((glyph.rows[r] >> (kGlyphWidth - 1 - c) & 1) != 0) {
          fill(x + c * scale, y + r * scale, scale, scale, colour);
        }
      }
    }
    x += kGlyphWidth * scale;
  });
}

int textWidth(const std::string& utf8, int scale) {
  int count = 0;
  forEachCode(utf8, [&count](std::uint32_t, std::size_t) { ++count; });
  return count * kGlyphWidth * scale;
}

}  // namespace trasop
