// Where the grid's points lie, and the computational area that a survey may be kept to.
#pragma once

#include <cstdint>

namespace trasop {

// Point (i, j) of the grid (indices from 0) lies at x = originX + (xmin + i * delta),
// y = originY + (ymin + j * delta): in absolute coordinates where the origin is the reference
// point (gakrx, gakry), in the grid's own (relative to it) where the origin is 0.
struct Frame {
  std::int32_t ni = 0;
  std::int32_t nj = 0;
  double xmin = 0.0;
  double ymin = 0.0;
  double delta = 1.0;
  double originX = 0.0;
  double originY = 0.0;
  bool absolute = true;  // the origin is the reference point

  // The coordinates of a position along the indices, a point's or between points: in the
  // grid's own coordinates (local), and in the frame's.
  double localX(double i) const { return xmin + i * delta; }
  double localY(double j) const { return ymin + j * delta; }
  double xAt(double i) const { return originX + localX(i); }
  double yAt(double j) const { return originY + localY(j); }
  double x(std::int64_t i) const { return xAt(static_cast<double>(i)); }
  double y(std::int64_t j) const { return yAt(static_cast<double>(j)); }
};

// A circle in the frame's coordinates; an area without one is the whole interior.
struct Circle {
  bool given = false;
  double x = 0.0;
  double y = 0.0;
  double radius = 0.0;
  // The cells (by index) the area is kept to besides the circle: all, or those whose slope
  // over a source's baseline can be computed.
  std::int64_t iFirst = 1;
  std::int64_t iLast = INT64_MAX;
  std::int64_t jFirst = 1;
  std::int64_t jLast = INT64_MAX;
  // True for a point in the area: inside the circle or on it, or anywhere without one.
  bool holds(double px, double py) const {
    const double dx = px - x;
    const double dy = py - y;
    return !given || dx * dx + dy * dy <= radius * radius;
  }
};

// The rectangle the interior cells cover: from half a delta before the first interior point to
// half a delta after the last, along both indices.
struct Footprint {
  double west = 0.0;
  double east = 0.0;
  double south = 0.0;
  double north = 0.0;
};

Footprint interiorFootprint(const Frame& frame);

// The share (0 to 1) of the circle's area that lies within `footprint`.
double shareInside(const Circle& circle, const Footprint& footprint);

// True where the circle reaches beyond `footprint`.
bool leaves(const Circle& circle, const Footprint& footprint);

}  // namespace trasop
