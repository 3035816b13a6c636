// A picture of palette indices to draw a figure on: filled rectangles, lines, circles and text
// in the figures' bitmap font.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace trasop {

class Canvas {
 public:
  Canvas(int width, int height, std::uint8_t background);

  int width() const { return width_; }
  int height() const { return height_; }
  std::uint8_t* row(int y) { return &pixels_[static_cast<std::size_t>(y) * width_]; }
  const std::uint8_t* row(int y) const { return &pixels_[static_cast<std::size_t>(y) * width_]; }

  // Pixels outside the canvas are left out silently.
  void set(int x, int y, std::uint8_t colour);
  void fill(int x, int y, int width, int height, std::uint8_t colour);
  void frame(int x, int y, int width, int height, std::uint8_t colour);
  void line(int x0, int y0, int x1, int y1, std::uint8_t colour);
  // The outline of a circle around (cx, cy), in pixels, `thickness` pixels wide inwards.
  void circle(double cx, double cy, double radius, int thickness, std::uint8_t colour);
  // UTF-8 text with its top left corner at (x, y), each font pixel `scale` x `scale`.
  void text(int x, int y, const std::string& utf8, std::uint8_t colour, int scale = 1);

 private:
  int width_;
  int height_;
  std::vector<std::uint8_t> pixels_;
};

// The width in pixels of `utf8` drawn at `scale`.
int textWidth(const std::string& utf8, int scale = 1);

}  // namespace trasop
