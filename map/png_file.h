// Pictures as PNG files, 8-bit palette or 8-bit RGB: the few chunks written here, the image data
// compressed by zlib.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <vector>

#include "map/colour.h"

namespace trasop {

struct PaletteImage {
  int width = 0;
  int height = 0;
  std::vector<Colour> palette;  // at most 256 colours
  int transparent = -1;         // the palette index shown as transparent, or -1 for none
  // Fills `row` (width indices) with image row `y`, top row first.
  std::function<void(int y, std::uint8_t* row)> row;
};

// Writes `image` as PNG to `file`, its rows unfiltered and deflated for runs of one colour.
// Returns false where a write or the compression fails.
bool writePng(std::FILE* file, const PaletteImage& image);

struct RgbImage {
  int width = 0;
  int height = 0;
  // Fills `row` (3 x width bytes: red, green, blue) with image row `y`, top row first.
  std::function<void(int y, std::uint8_t* row)> row;
};

// Writes `image` as PNG to `file`, each row with the filter that leaves the smallest
// differences, deflated at zlib's fastest level (a figure's rows compress almost as well at
// its best and take a third of the time). Returns false where a write or the compression
// fails.
bool writePng(std::FILE* file, const RgbImage& image);

}  // namespace trasop
