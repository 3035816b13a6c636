// Names and texts as UTF-8, whatever bytes they hold: a name from a Windows code page (a
// German "ö" as the single byte 0xF6) is no well-formed UTF-8, and each such byte is taken
// alone, never together with its neighbours.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace trasop {

// The length of the well-formed UTF-8 sequence at text[at] (1 to 4), or 0 where the byte there
// starts none: a stray continuation byte, an overlong form, a surrogate, a code beyond
// U+10FFFF, or a sequence cut short. REQUIRES: at < text.size().
std::size_t utf8Length(const std::string& text, std::size_t at);

// Calls visit(code, length) for each character of `text`: the code point of a well-formed
// sequence of `length` bytes, or, for a byte that starts none, that byte's Latin-1 letter
// (its value) with length 0.
template <typename Visit>
void forEachCode(const std::string& text, Visit visit) {
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = utf8Length(text, at);
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    if (length <= 1) {
      visit(static_cast<std::uint32_t>(lead), length);
      ++at;
      continue;
    }
    std::uint32_t code = lead & (0x7Fu >> length);
    for (std::size_t k = 1; k < length; ++k) {
      code = (code << 6) | (static_cast<unsigned char>(text[at + k]) & 0x3Fu);
    }
    visit(code, length);
    at += length;
  }
}

}  // namespace trasop
