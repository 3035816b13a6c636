// Result of every stage of a run; the same number selects the closing message and becomes
// the process exit status.
#pragma once

#include <cstdint>

namespace trasop {

// Every code fits a byte, as an exit status must.
enum ResultCode : std::int8_t {
  Ok = 0,
  Banner = 1,  // message selector only: the start banner
  Usage = 2,
  CannotRead = 3,
  CannotCreate = 4,
  BadDelta = 5,
  BadSequ = 6,
  BadBounds = 7,
  OutOfMemory = 8,
  OptionGiven = 20,
};

}  // namespace trasop
