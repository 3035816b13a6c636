#include "dmna/number_scan.h"

#include <charconv>
#include <cstdint>
#include <limits>
#include <system_error>

namespace trasop {

namespace {

constexpr int kSignificantDigits = 25;

// A number as scanned: its significant digits (at most 25, the rest dropped) and the power of
// ten that scales them to the value.
struct ScannedNumber {
  bool negative = false;
  char digits[kSignificantDigits];
  int digitCount = 0;
  std::int64_t exponent = 0;
  // The leading digits as an integer while they fit exactly in 53 bits; the fast path below
  // converts these without a detour through text.
  std::uint64_t mantissa = 0;
  bool mantissaExact = true;
};

void addDigit(ScannedNumber& n, char c, bool inFraction) {
  if (n.digitCount == 0 && c == '0') {
    if (inFraction) --n.exponent;  // a leading zero only moves the decimal point
    return;
  }
  if (n.digitCount == kSignificantDigits) {
    if (!inFraction) ++n.exponent;  // dropped digit: only its place counts
    return;
  }
  n.digits[n.digitCount++] = c;
  if (inFraction) --n.exponent;
  if (n.mantissaExact) {
    n.mantissa = n.mantissa * 10 + static_cast<unsigned>(c - '0');
    if (n.mantissa > (std::uint64_t{1} << 53) || n.digitCount >= 19) n.mantissaExact = false;
  }
}

// Reads an exponent such as e-12 or D3 at `p`. Returns the position after it, or `p` when the
// text there is no complete exponent (the number then ends before the letter).
const char* scanExponent(const char* p, const char* last, std::int64_t& exponent) {
  if (p == last) return p;
  if (!isExponentLetter(*p)) return p;
  const char* q = p + 1;
  bool negative = false;
  if (q != last && (*q == '+' || *q == '-')) negative = (*q++ == '-');
  if (q == last || !isDigit(*q)) return p;
  std::int64_t value = 0;
  for (; q != last && isDigit(*q); ++q) {
    // Far beyond any double's range: further digits change nothing.
    if (value < 1000000000) value = value * 10 + (*q - '0');
  }
  exponent += negative ? -value : value;
  return q;
}

// Correctly rounded conversion of digits x 10^exponent through the standard library.
double convertGeneral(const ScannedNumber& n) {
  char text[kSignificantDigits + 32];
  char* end = text;
  for (int k = 0; k < n.digitCount; ++k) *end++ = n.digits[k];
  *end++ = 'e';
  end = std::to_chars(end, text + sizeof text, n.exponent).ptr;
  double value = 0.0;
  const auto result = std::from_chars(text, end, value);
  if (result.ec == std::errc::result_out_of_range) {
    // The magnitude decides: 0.d1d2... x 10^(exponent + digitCount).
    value = (n.exponent + n.digitCount > 0) ? std::numeric_limits<double>::infinity() : 0.0;
  }
  return value;
}

// The general path: any number of digits, exponents, the 25-digit rule.
double scanAnyNumber(const char* first, const char* p, const char* last, const char** stop) {
  ScannedNumber n;
  if (p != last && (*p == '+' || *p == '-')) n.negative = (*p++ == '-');
  bool anyDigit = false;
  for (; p != last && isDigit(*p); ++p, anyDigit = true) addDigit(n, *p, false);
  if (p != last && *p == '.') {
    const char* q = p + 1;
    for (; q != last && isDigit(*q); ++q, anyDigit = true) addDigit(n, *q, true);
    if (anyDigit) p = q;
  }
  if (!anyDigit) {
    if (stop != nullptr) *stop = first;
    return 0.0;
  }
  p = scanExponent(p, last, n.exponent);
  if (stop != nullptr) *stop = p;

  double value;
  if (n.digitCount == 0) {
    value = 0.0;
  } else if (n.mantissaExact && n.exponent >= -22 && n.exponent <= 22) {
    // Both operands are exact doubles, so one multiplication or division rounds correctly.
    const double m = static_cast<double>(n.mantissa);
    value =
        n.exponent >= 0 ? m * kExactPowersOfTen[n.exponent] : m / kExactPowersOfTen[-n.exponent];
  } else {
    value = convertGeneral(n);
  }
  return n.negative ? -value : value;
}

}  // namespace

double scanNumber(const char* first, const char* last, const char** stop) {
  const char* const p = skipBlanks(first, last);
  double value = 0.0;
  const char* const end = scanPlainDecimal<false>(p, last, value);
  if (end == nullptr) return scanAnyNumber(first, p, last, stop);
  if (stop != nullptr) *stop = end;
  return value;
}

}  // namespace trasop
