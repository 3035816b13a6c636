// Test support: a result code in a failure message as its number (its underlying type is a
// byte, which the test framework would print as a character).
#pragma once

#include <ostream>

#include "app/result_code.h"

namespace trasop {

inline void PrintTo(ResultCode code, std::ostream* out) { *out << static_cast<int>(code); }

}  // namespace trasop
