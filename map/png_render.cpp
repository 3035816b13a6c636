#include "map/png_render.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <new>
#include <vector>

#include "map/canvas.h"
#include "map/png_file.h"
#include "map/type.h"

namespace trasop {

namespace {

// Outlines of at most this many pixels across go to the rasterizer at once.
constexpr double kMostOutline = 2000.0;

// Polylines (each from one of `starts` to the next) `width` pixels wide as quadrilaterals of one
// orientation, so that where they overlap at the joins they cover their union; given to the
// rasterizer in pieces of bounded extent.
void strokeLine(Canvas& canvas, const std::vector<double>& x, const std::vector<double>& y,
                const std::vector<std::size_t>& starts, double width, Colour colour) {
  const auto paint = [&](int column, int row, std::uint8_t coverage) {
    canvas.blend(column, row, colour, coverage);
  };
  Outline piece;
  double left = 0;
  double right = 0;
  double top = 0;
  double bottom = 0;
  std::size_t nextStart = 0;  // the next of `starts` to come
  for (std::size_t k = 1; k < x.size(); ++k) {
    // No segment from the end of one polyline to the start of the next.
    while (nextStart < starts.size() && starts[nextStart] < k) ++nextStart;
    if (nextStart < starts.size() && starts[nextStart] == k) continue;
    const double dx = x[k] - x[k - 1];
    const double dy = y[k] - y[k - 1];
    const double length = std::sqrt(dx * dx + dy * dy);
    if (!(length > 0)) continue;
    const double nx = -dy / length * width / 2;
    const double ny = dx / length * width / 2;
    const double cornersX[4] = {x[k - 1] + nx, x[k] + nx, x[k] - nx, x[k - 1] - nx};
    const double cornersY[4] = {y[k - 1] + ny, y[k] + ny, y[k] - ny, y[k - 1] - ny};
    const auto [lowX, highX] = std::minmax_element(cornersX, cornersX + 4);
    const auto [lowY, highY] = std::minmax_element(cornersY, cornersY + 4);
    if (!piece.starts.empty() && (std::max(right, *highX) - std::min(left, *lowX) > kMostOutline ||
                                  std::max(bottom, *highY) - std::min(top, *lowY) > kMostOutline)) {
      fillOutline(piece, paint);
      piece = Outline();
    }
    if (piece.starts.empty()) {
      left = *lowX;
      right = *highX;
      top = *lowY;
      bottom = *highY;
    }
    left = std::min(left, *lowX);
    right = std::max(right, *highX);
    top = std::min(top, *lowY);
    bottom = std::max(bottom, *highY);
    piece.starts.push_back(piece.x.size());
    piece.x.insert(piece.x.end(), cornersX, cornersX + 4);
    piece.y.insert(piece.y.end(), cornersY, cornersY + 4);
  }
  if (!piece.starts.empty()) fillOutline(piece, paint);
}

void drawShape(Canvas& canvas, const Shape& shape, double k) {
  const auto paint = [&](int column, int row, std::uint8_t coverage) {
    canvas.blend(column, row, shape.colour, coverage);
  };
  switch (shape.kind) {
    case ShapeKind::Fill: {
      PixelBox box{pixelAt(shape.box.left, k), pixelAt(shape.box.top, k),
                   pixelAt(shape.box.right, k), pixelAt(shape.box.bottom, k)};
      // A rule thinner than a pixel is still a pixel wide.
      if (shape.box.right > shape.box.left) box.right = std::max(box.right, box.left + 1);
      if (shape.box.bottom > shape.box.top) box.bottom = std::max(box.bottom, box.top + 1);
      canvas.fill(box, shape.colour);
      break;
    }
    case ShapeKind::Squares: {
      const double half = shape.size / 2;
      for (std::size_t m = 0; m < shape.x.size(); ++m) {
        canvas.fill({pixelAt(shape.x[m] - half, k), pixelAt(shape.y[m] - half, k),
                     pixelAt(shape.x[m] + half, k), pixelAt(shape.y[m] + half, k)},
                    shape.colour);
      }
      break;
    }
    case ShapeKind::Polygon: {
      Outline outline{shape.x, shape.y, shape.starts};
      for (double& v : outline.x) v *= k;
      for (double& v : outline.y) v *= k;
      fillOutline(outline, paint);
      break;
    }
    case ShapeKind::Line: {
      std::vector<double> x = shape.x;
      std::vector<double> y = shape.y;
      for (double& v : x) v *= k;
      for (double& v : y) v *= k;
      strokeLine(canvas, x, y, shape.starts, std::max(1.0, shape.width * k), shape.colour);
      break;
    }
    case ShapeKind::Ring:
      canvas.ring(shape.x[0] * k, shape.y[0] * k, shape.radius * k, std::max(1.0, shape.width * k),
                  shape.colour);
      break;
    case ShapeKind::Text:
      setText(shape.text, shape.size * k, shape.x[0] * k, shape.y[0] * k, paint);
      break;
  }
}

}  // namespace

ResultCode writeDrawingPng(std::FILE* file, const Drawing& drawing, double pixelsPerPoint) {
  const double k = pixelsPerPoint;
  try {
    Canvas canvas(pixelAt(drawing.width, k), pixelAt(drawing.height, k), drawing.background);
    const PixelBox map{pixelAt(drawing.map.left, k), pixelAt(drawing.map.top, k),
                       pixelAt(drawing.map.left, k) + drawing.mapWidth,
                       pixelAt(drawing.map.top, k) + drawing.mapHeight};
    if (drawing.mapRow) {
      for (int y = 0; y < drawing.mapHeight; ++y) {
        const int row = map.top + y;
        if (row < 0 || row >= canvas.height() || map.left < 0 || map.right > canvas.width()) {
          continue;
        }
        drawing.mapRow(y, canvas.row(row) + static_cast<std::size_t>(map.left) * 3);
      }
    }
    for (const Shape& shape : drawing.shapes) {
      if (shape.clipped) canvas.clipTo(map);
      drawShape(canvas, shape, k);
      canvas.clipToCanvas();
    }
    RgbImage image;
    image.width = canvas.width();
    image.height = canvas.height();
    image.row = [&canvas](int y, std::uint8_t* pixels) {
      std::copy(canvas.row(y), canvas.row(y) + static_cast<std::size_t>(canvas.width()) * 3,
                pixels);
    };
    return writePng(file, image) ? Ok : CannotCreate;
  } catch (const std::bad_alloc&) {
    return OutOfMemory;
  }
}

}  // namespace trasop
