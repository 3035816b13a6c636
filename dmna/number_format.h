// Printing of reals with a fixed number of decimals, rounded the tool's way: the value is
// first rounded to 17 significant digits (digits past the 17th count as 0), then that digit
// string is cut to the decimals, rounding up in magnitude when the first dropped digit is 5 or
// more. Exact halves thus round away from zero: 0.125 gives 0.13. The result is the same on
// every platform, which the C library's printf does not promise.
#pragma once

#include <cstddef>

namespace trasop {

// Room enough for any double printed by formatFixed.
constexpr std::size_t kFixedTextCapacity = 330;

// Writes `value` with `decimals` decimals, unpadded, to `out` and returns the end.
// REQUIRES: decimals is 1 or 2, the two the tool prints; out holds kFixedTextCapacity chars.
// A negative value keeps its sign even when it rounds to zero ("-0.0"); values that are not
// finite print as "inf", "-inf" or "nan".
char* formatFixed(double value, int decimals, char* out);

// Writes `value` as a slope field: two decimals, right-aligned in at least five characters
// (0.0 gives " 0.00"). Returns the end. Same text as formatFixed, but common values take a
// fast path that needs no digit string.
char* formatSlopeField(double value, char* out);

}  // namespace trasop
