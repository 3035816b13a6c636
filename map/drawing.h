// A figure laid out once, in points (1/72 inch, y down from the top left corner), as a list of
// shapes over a raster, for any back end to render: the PNG back end at a resolution, a vector
// format as paths and text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "map/colour.h"

namespace trasop {

struct Box {
  double left = 0.0;
  double top = 0.0;
  double right = 0.0;
  double bottom = 0.0;
};

enum class ShapeKind : std::uint8_t {
  Fill,     // the rectangle `box`
  Polygon,  // the contours of `x`, `y` from `starts`, filled
  Line,     // the polyline `x`, `y`, `width` wide
  Ring,     // the circle around (x[0], y[0]) of `radius`, its outline `width` wide
  Text,     // `text` at `size`, its baseline starting at (x[0], y[0]); `box` holds its extent
  Squares,  // squares `size` wide around each (x[k], y[k]): many marks as one shape
};

struct Shape {
  ShapeKind kind = ShapeKind::Fill;
  Colour colour{0, 0, 0};
  Box box;
  std::vector<double> x;
  std::vector<double> y;
  std::vector<std::size_t> starts;
  double width = 0.0;
  double radius = 0.0;
  double size = 0.0;
  std::string text;
  bool clipped = false;  // kept within the map's box
};

struct Drawing {
  double width = 0.0;  // points
  double height = 0.0;
  Colour background{0xFF, 0xFF, 0xFF};
  // The map's raster, of `mapWidth` x `mapHeight` pixels, filling `map`; mapRow(y, rgb) gives
  // its row y, top row first, 3 bytes a pixel.
  Box map;
  int mapWidth = 0;
  int mapHeight = 0;
  std::function<void(int y, std::uint8_t* rgb)> mapRow;
  std::vector<Shape> shapes;  // drawn in order, over the raster
};

}  // namespace trasop
