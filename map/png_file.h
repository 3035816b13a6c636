// Pictures as 8-bit palette PNG files: the few chunks written here, the image data compressed
// by zlib (run-length strategy, which suits maps of few colours best).
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <vector>

namespace trasop {

struct Colour {
  std::uint8_t red, green, blue;
};

struct PaletteImage {
  int width = 0;
  int height = 0;
  std::vector<Colour> palette;  // at most 256 colours
  int transparent = -1;         // the palette index shown as transparent, or -1 for none
  // Fills `row` (width indices) with image row `y`, top row first.
  std::function<void(int y, std::uint8_t* row)> row;
};

// Writes `image` as PNG to `file`. Returns false where a write or the compression fails.
bool writePng(std::FILE* file, const PaletteImage& image);

}  // namespace trasop
