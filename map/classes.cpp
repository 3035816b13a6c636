#include "map/classes.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <new>
#include <vector>

#include "map/png_file.h"

namespace trasop {

namespace {

// Colour-blind safe, in order of lightness, so that the classes stay in order in grey print:
// the flattest class light grey, then yellow, red, blue and black for the steepest.
const Colour kClassColours[kMostThresholds + 1] = {
    {0xE0, 0xE0, 0xE0}, {0xDD, 0xAA, 0x33}, {0xBB, 0x55, 0x66}, {0x00, 0x44, 0x88}, {0, 0, 0}};

}  // namespace

// The first and the steepest always, the middle ones in order.
std::vector<Colour> classColours(int count) {
  if (count == 1) return {kClassColours[0], kClassColours[2]};
  return std::vector<Colour>(kClassColours, kClassColours + count + 1);
}

ResultCode writeClassRaster(std::FILE* file, const ClassMap& classes, const Thresholds& thresholds,
                            const Circle& area) {
  PaletteImage image;
  image.width = static_cast<int>(classes.alongI);
  image.height = static_cast<int>(classes.alongJ);
  image.palette = classColours(thresholds.count);
  image.palette.push_back({0xFF, 0xFF, 0xFF});  // outside the area
  const std::uint8_t outside = static_cast<std::uint8_t>(image.palette.size() - 1);
  if (area.given) image.transparent = outside;
  // The image's rows run along i, the map's lines along j: the rows are turned out of the
  // lines kTileRows at a time, so that each line is read in runs.
  constexpr int kTileRows = 64;
  std::vector<std::uint8_t> tile;
  int tileTop = 0;
  image.row = [&](int y, std::uint8_t* pixels) {
    if (tile.empty() || y < tileTop || y >= tileTop + kTileRows) {
      tileTop = y - y % kTileRows;
      const int rows = std::min(kTileRows, image.height - tileTop);
      tile.resize(static_cast<std::size_t>(kTileRows) * static_cast<std::size_t>(image.width));
      for (std::int64_t i = 1; i <= classes.alongI; ++i) {
        // Row y shows j = alongJ - y, at element alongJ - y - 1 of a line.
        const std::uint8_t* const cells = classes.line(i) + (classes.alongJ - tileTop - 1);
        for (int r = 0; r < rows; ++r) {
          const std::uint8_t cell = *(cells - r);
          tile[static_cast<std::size_t>(r) * static_cast<std::size_t>(image.width) +
               static_cast<std::size_t>(i - 1)] =
              cell == kOutsideArea ? outside : static_cast<std::uint8_t>(cell - 1);
        }
      }
    }
    const std::uint8_t* const row =
        &tile[static_cast<std::size_t>(y - tileTop) * static_cast<std::size_t>(image.width)];
    std::copy(row, row + image.width, pixels);
  };
  try {
    return writePng(file, image) ? Ok : CannotCreate;
  } catch (const std::bad_alloc&) {
    return OutOfMemory;
  }
}

ResultCode writeWorldFile(std::FILE* file, const Frame& frame) {
  // Lines: pixel size along x, two rotation terms, pixel size along y (negative: rows run
  // south), then the centre of the upper left pixel.
  return std::fprintf(file, "%.17g\n0\n0\n%.17g\n%.17g\n%.17g\n", frame.delta, -frame.delta,
                      frame.x(1), frame.y(frame.nj - 2)) > 0
             ? Ok
             : CannotCreate;
}

}  // namespace trasop
