// Text set in the figures' outline font (DejaVu Sans): its measures in points and its glyphs
// rasterized, antialiased, for a grid of pixels. The font is scaled by the em: a text of size
// s points is s points from one line to the next without leading.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace trasop {

// The advance of `utf8` set at `size`, in the unit of `size`, kerning included. Bytes that
// start no well-formed UTF-8 are taken as their Latin-1 letters.
double textWidth(const std::string& utf8, double size);

// The font's measures for text set at `size`, in the unit of `size`: the height of the capital
// letters above the baseline, the ascent and the descent (positive, below the baseline) of
// the letters the font holds.
double capHeight(double size);
double ascent(double size);
double descent(double size);

// Rasterizes `utf8` set at `size` pixels with its baseline starting at (x, y) in pixels, y
// down: calls paint(column, row, coverage) for every pixel a glyph covers, coverage 1 to 255.
void setText(const std::string& utf8, double size, double x, double y,
             const std::function<void(int column, int row, std::uint8_t coverage)>& paint);

// A polygon's outline in pixels (y down), rasterized antialiased with the font's rasterizer:
// calls paint(column, row, coverage) for every pixel it covers. Polygons of several contours
// are given as one list with `starts` the first vertex of each contour; overlapping contours
// of one orientation cover their union.
struct Outline {
  std::vector<double> x;
  std::vector<double> y;
  std::vector<std::size_t> starts;
};
void fillOutline(const Outline& outline,
                 const std::function<void(int column, int row, std::uint8_t coverage)>& paint);

}  // namespace trasop
