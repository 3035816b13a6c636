#include <algorithm>
#include <cmath>

#include "map/frame.h"

namespace trasop {

namespace {

constexpr double kPi = 3.14159265358979323846;

// The integral of sqrt(r^2 - u^2) from -r to u, for -r <= u <= r: the area of the half disc
// of radius r (above the axis) left of u.
double halfDiscLeftOf(double u, double r) {
  const double s = std::sqrt(std::max(0.0, r * r - u * u));
  return 0.5 * (u * s + r * r * std::asin(std::clamp(u / r, -1.0, 1.0))) + 0.25 * kPi * r * r;
}

// The integral of sqrt(r^2 - u^2) over [a, b] within [-r, r] (0 where b <= a).
double under(double a, double b, double r) {
  a = std::clamp(a, -r, r);
  b = std::clamp(b, -r, r);
  return b > a ? halfDiscLeftOf(b, r) - halfDiscLeftOf(a, r) : 0.0;
}

// The area of the disc of radius r around the origin where u <= x and v <= y.
double cornerArea(double x, double y, double r) {
  x = std::clamp(x, -r, r);
  y = std::clamp(y, -r, r);
  // Across the disc at u the chord is [-s, s], s = sqrt(r^2 - u^2); below y lies
  // min(y, s) + s of it where that is positive. |u| <= w is where s >= |y|.
  const double w = std::sqrt(std::max(0.0, r * r - y * y));
  const double lo = -w;
  const double hi = std::min(x, w);
  const double middle = under(lo, hi, r) + y * std::max(0.0, hi - lo);
  if (y < 0.0) return middle;
  // Where s < y the whole chord lies below y.
  return middle + 2.0 * under(-r, std::min(x, -w), r) + 2.0 * under(w, x, r);
}

}  // namespace

Footprint interiorFootprint(const Frame& frame) {
  Footprint footprint;
  footprint.west = frame.xAt(0.5);
  footprint.east = frame.xAt(frame.ni - 1.5);
  footprint.south = frame.yAt(0.5);
  footprint.north = frame.yAt(frame.nj - 1.5);
  return footprint;
}

double shareInside(const Circle& circle, const Footprint& footprint) {
  if (!leaves(circle, footprint)) return 1.0;
  const double r = circle.radius;
  const double x0 = footprint.west - circle.x;
  const double x1 = footprint.east - circle.x;
  const double y0 = footprint.south - circle.y;
  const double y1 = footprint.north - circle.y;
  // A circle whose area overflows holds at most the footprint's share of it.
  if (!std::isfinite(kPi * r * r)) {
    return std::clamp((x1 - x0) / r * ((y1 - y0) / r) / kPi, 0.0, 1.0);
  }
  const double inside =
      cornerArea(x1, y1, r) - cornerArea(x0, y1, r) - cornerArea(x1, y0, r) + cornerArea(x0, y0, r);
  return std::clamp(inside / (kPi * r * r), 0.0, 1.0);
}

bool leaves(const Circle& circle, const Footprint& footprint) {
  return circle.x - circle.radius < footprint.west || circle.x + circle.radius > footprint.east ||
         circle.y - circle.radius < footprint.south || circle.y + circle.radius > footprint.north;
}

}  // namespace trasop
