// The PNG back end of the figures: a drawing rendered at a resolution, antialiased, and
// written as an RGB PNG file.
#pragma once

#include <cmath>
#include <cstdio>

#include "app/result_code.h"
#include "map/drawing.h"

namespace trasop {

// Renders `drawing` at `pixelsPerPoint` and writes it to `file`. Returns Ok, CannotCreate where
// a write fails, or OutOfMemory.
ResultCode writeDrawingPng(std::FILE* file, const Drawing& drawing, double pixelsPerPoint);

// The pixel a length in points begins or ends at.
inline int pixelAt(double points, double pixelsPerPoint) {
  return static_cast<int>(std::floor(points * pixelsPerPoint + 0.5));
}

}  // namespace trasop
