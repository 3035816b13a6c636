#include "map/font.h"

#include <cstdint>

namespace trasop {

const Glyph& glyphOf(std::uint32_t code) {
  // The table is sorted by code.
  int low = 0;
  int high = kGlyphCount - 1;
  while (low <= high) {
    const int middle = (low + high) / 2;
    if (kGlyphs[middle].code == code) return kGlyphs[middle];
    if (kGlyphs[middle].code < code) {
      low = middle + 1;
    } else {
      high = middle - 1;
    }
  }
  return glyphOf('?');
}

}  // namespace trasop
