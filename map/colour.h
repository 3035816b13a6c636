// A colour of the figures' pictures, 8 bits a channel.
#pragma once

#include <cstdint>

namespace trasop {

struct Colour {
  std::uint8_t red, green, blue;
};

inline bool operator==(const Colour& a, const Colour& b) {
  return a.red == b.red && a.green == b.green && a.blue == b.blue;
}

}  // namespace trasop
