// A picture of RGB pixels to render a figure on: colours laid over it with a coverage (the
// share of a pixel a shape covers, 0 to 255), optionally kept within a clipping box.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "map/colour.h"

namespace trasop {

// A box of pixels: columns left to right - 1, rows top to bottom - 1.
struct PixelBox {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

class Canvas {
 public:
  Canvas(int width, int height, Colour background);

  int width() const { return width_; }
  int height() const { return height_; }
  std::uint8_t* row(int y) { return &pixels_[static_cast<std::size_t>(y) * width_ * 3]; }
  const std::uint8_t* row(int y) const {
    return &pixels_[static_cast<std::size_t>(y) * width_ * 3];
  }

  // Shapes drawn from now on stay within `box` (and the canvas).
  void clipTo(const PixelBox& box);
  void clipToCanvas();

  // Lays `colour` over pixel (x, y) with `coverage` (255: replaces it). Pixels outside the
  // clipping box are left as they are.
  void blend(int x, int y, Colour colour, std::uint8_t coverage);
  void fill(const PixelBox& box, Colour colour);
  // The outline of a circle around (cx, cy) of `radius` pixels, `width` pixels wide and
  // centred on the radius, antialiased.
  void ring(double cx, double cy, double radius, double width, Colour colour);

 private:
  int width_;
  int height_;
  PixelBox clip_;
  std::vector<std::uint8_t> pixels_;
};

}  // namespace trasop
