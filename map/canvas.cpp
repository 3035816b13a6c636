#include "map/canvas.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace trasop {

Canvas::Canvas(int width, int height, Colour background)
    : width_(width),
      height_(height),
      clip_{0, 0, width, height},
      pixels_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3) {
  for (std::size_t k = 0; k < pixels_.size(); k += 3) {
    pixels_[k] = background.red;
    pixels_[k + 1] = background.green;
    pixels_[k + 2] = background.blue;
  }
}

void Canvas::clipTo(const PixelBox& box) {
  clip_ = {std::max(box.left, 0), std::max(box.top, 0), std::min(box.right, width_),
           std::min(box.bottom, height_)};
}

void Canvas::clipToCanvas() { clip_ = {0, 0, width_, height_}; }

void Canvas::blend(int x, int y, Colour colour, std::uint8_t coverage) {
  if (x < clip_.left || y < clip_.top || x >= clip_.right || y >= clip_.bottom) return;
  std::uint8_t* const pixel = row(y) + static_cast<std::size_t>(x) * 3;
  // (old * (255 - c) + new * c) / 255, rounded: integers, the same on every target.
  const unsigned c = coverage;
  const std::uint8_t channels[3] = {colour.red, colour.green, colour.blue};
  for (int k = 0; k < 3; ++k) {
    const unsigned mixed = pixel[k] * (255 - c) + channels[k] * c + 127;
    pixel[k] = static_cast<std::uint8_t>((mixed + (mixed >> 8) + 1) >> 8);
  }
}

void Canvas::fill(const PixelBox& box, Colour colour) {
  for (int y = std::max(box.top, clip_.top); y < std::min(box.bottom, clip_.bottom); ++y) {
    for (int x = std::max(box.left, clip_.left); x < std::min(box.right, clip_.right); ++x) {
      std::uint8_t* const pixel = row(y) + static_cast<std::size_t>(x) * 3;
      pixel[0] = colour.red;
      pixel[1] = colour.green;
      pixel[2] = colour.blue;
    }
  }
}

void Canvas::ring(double cx, double cy, double radius, double width, Colour colour) {
  if (!std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(radius) || !(radius > 0)) return;
  const double half = width / 2;
  const double outer = radius + half + 1;
  const double inner = std::max(0.0, radius - half - 1);
  // Only the rows within the clipping box are visited, whatever the circle's size, and on
  // each only the two runs of columns the ring crosses.
  // Bounds are kept to the clipping box in doubles, then counted in integers, whatever the
  // circle's size and place.
  const auto within = [](double value, int low, int high) {
    return static_cast<int>(
        std::min(std::max(value, static_cast<double>(low)), static_cast<double>(high)));
  };
  const int top = within(std::floor(cy - outer), clip_.top, clip_.bottom);
  const int bottom = within(std::ceil(cy + outer), clip_.top - 1, clip_.bottom - 1);
  for (int y = top; y <= bottom; ++y) {
    const double dy = y + 0.5 - cy;
    const double outerSpan = outer * outer - dy * dy;
    if (outerSpan < 0) continue;
    const double outerHalf = std::sqrt(outerSpan);
    const double innerSpan = inner * inner - dy * dy;
    const double innerHalf = innerSpan > 0 ? std::sqrt(innerSpan) : 0.0;
    int done = clip_.left - 1;  // the last column of the row's first run
    for (const int side : {-1, 1}) {
      const double a = std::min(cx + side * innerHalf, cx + side * outerHalf);
      const double b = std::max(cx + side * innerHalf, cx + side * outerHalf);
      const int from = std::max(within(std::floor(a), clip_.left, clip_.right), done + 1);
      const int to = within(std::ceil(b), clip_.left - 1, clip_.right - 1);
      for (int x = from; x <= to; ++x) {
        const double dx = x + 0.5 - cx;
        // The share of the pixel within the ring, from its centre's distance to the radius.
        const double off = std::abs(std::sqrt(dx * dx + dy * dy) - radius);
        const double covered = std::min(1.0, std::max(0.0, half + 0.5 - off));
        if (covered > 0) {
          blend(x, y, colour, static_cast<std::uint8_t>(std::floor(covered * 255 + 0.5)));
        }
      }
      done = std::max(done, to);
    }
  }
}

}  // namespace trasop
