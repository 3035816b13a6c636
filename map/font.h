// The bitmap font of the figures: 9 x 18 pixels a character, fixed width.
#pragma once

#include <cstdint>

namespace trasop {

constexpr int kGlyphWidth = 9;
constexpr int kGlyphHeight = 18;

struct Glyph {
  std::uint32_t code;                // Unicode
  std::uint16_t rows[kGlyphHeight];  // top row first; the leftmost pixel in bit 8
};

extern const Glyph kGlyphs[];
extern const int kGlyphCount;

// The glyph of `code`, or that of "?" where the font has none.
const Glyph& glyphOf(std::uint32_t code);

}  // namespace trasop
