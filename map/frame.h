// Where the grid's points lie, and the computational area that a survey may be kept to.
#pragma once

#include <cstdint>

namespace trasop {

// Point (i, j) of the grid (indices from 0) lies at x = xmin + i * delta, y = ymin + j * delta,
// in the grid's own coordinates (offsets from the reference point gakrx, gakry).
struct Frame {
  std::int32_t ni = 0;
  std::int32_t nj = 0;
  double xmin = 0.0;
  double ymin = 0.0;
  double delta = 1.0;
  double x(std::int64_t i) const { return xmin + static_cast<double>(i) * delta; }
  double y(std::int64_t j) const { return ymin + static_cast<double>(j) * delta; }
};

// A circle in the grid's coordinates; an area without one is the whole interior.
struct Circle {
  bool given = false;
  double x = 0.0;
  double y = 0.0;
  double radius = 0.0;
  // True for a point in the area: inside the circle or on it, or anywhere without one.
  bool holds(double px, double py) const {
    const double dx = px - x;
    const double dy = py - y;
    return !given || dx * dx + dy * dy <= radius * radius;
  }
};

}  // namespace trasop
