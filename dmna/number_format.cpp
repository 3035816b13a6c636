#include "dmna/number_format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace trasop {

namespace {

constexpr int kSignificantDigits = 17;

// The digits of |value| x 10^decimals after the rounding rule, as an integer digit string
// without leading zeros ("0" for zero). Returns its length.
// REQUIRES: value finite; `out` has room for kFixedTextCapacity characters.
int roundedScaledDigits(double value, int decimals, char* out) {
  if (value == 0.0) {
    out[0] = '0';
    return 1;
  }
  // "d.dddddddddddddddde+XX": exactly 17 significant digits, correctly rounded.
  char text[40];
  const char* const textEnd = std::to_chars(text, text + sizeof text, std::fabs(value),
                                            std::chars_format::scientific, kSignificantDigits - 1)
                                  .ptr;
  char digits[kSignificantDigits];
  digits[0] = text[0];
  std::memcpy(digits + 1, text + 2, kSignificantDigits - 1);
  const char* exponentText = text + kSignificantDigits + 2;  // after "e"
  const bool negativeExponent = *exponentText == '-';
  int exponent = 0;
  std::from_chars(exponentText + 1, textEnd, exponent);
  if (negativeExponent) exponent = -exponent;

  // How many of the 17 digits stand before the cut.
  const int keep = exponent + 1 + decimals;
  if (keep <= 0) {
    out[0] = (keep == 0 && digits[0] >= '5') ? '1' : '0';
    return 1;
  }
  if (keep >= kSignificantDigits) {
    std::memcpy(out, digits, kSignificantDigits);
    std::memset(out + kSignificantDigits, '0', keep - kSignificantDigits);
    return keep;
  }
  std::memcpy(out, digits, keep);
  if (digits[keep] >= '5') {
    int k = keep - 1;
    while (k >= 0 && out[k] == '9') out[k--] = '0';
    if (k >= 0) {
      ++out[k];
    } else {  // 9.99 became 10.00: one digit more
      std::memmove(out + 1, out, keep);
      out[0] = '1';
      return keep + 1;
    }
  }
  return keep;
}

char* copyText(const char* text, char* out) { return std::copy_n(text, std::strlen(text), out); }

// The printed value of a slope field in hundredths, found with thresholds: threshold(n) is
// the smallest double that prints as n + 1 hundredths or more. The printed value never falls
// as the value grows, and n = floor(value * 100) is off from the exact floor by far less than
// a hundredth, so a value below 100 prints as n or n + 1: one comparison decides.
class Hundredths {
 public:
  static constexpr int kLimit = 10000;  // values below 100

  static int of(double value) {
    const int n = std::min(static_cast<int>(value * 100.0), kLimit - 1);
    // Up or down is a coin toss on real data: no branch to mispredict.
    return n + static_cast<int>(value >= threshold(n));
  }

 private:
  static int slowHundredths(double value) {
    char digits[kFixedTextCapacity];
    const int length = roundedScaledDigits(value, 2, digits);
    int n = 0;
    for (int k = 0; k < length; ++k) n = n * 10 + (digits[k] - '0');
    return n;
  }

  // Computed when first needed; 0.0 marks an entry not computed yet (every threshold is
  // near 0.005 or above).
  static double threshold(int n) {
    static double table[kLimit];
    double& entry = table[n];
    if (entry == 0.0) {
      double x = (n + 0.5) / 100.0;
      if (slowHundredths(x) > n) {
        for (double below = std::nextafter(x, 0.0); slowHundredths(below) > n;
             below = std::nextafter(below, 0.0)) {
          x = below;
        }
      } else {
        do {
          x = std::nextafter(x, 1e300);
        } while (slowHundredths(x) <= n);
      }
      entry = x;
    }
    return entry;
  }
};

// "00" to "99".
constexpr char kDigitPairs[] =
    "0001020304050607080910111213141516171819202122232425262728293031323334353637383940414243444546"
    "474849"
    "5051525354555657585960616263646566676869707172737475767778798081828384858687888990919293949596"
    "979899";

}  // namespace

char* formatFixed(double value, int decimals, char* out) {
  if (std::isnan(value)) return copyText("nan", out);
  if (std::isinf(value)) return copyText(value < 0 ? "-inf" : "inf", out);
  if (std::signbit(value)) *out++ = '-';
  char digits[kFixedTextCapacity];
  const int length = roundedScaledDigits(value, decimals, digits);
  if (length <= decimals) {
    *out++ = '0';
    *out++ = '.';
    std::memset(out, '0', decimals - length);
    out += decimals - length;
    std::memcpy(out, digits, length);
    return out + length;
  }
  const int integerDigits = length - decimals;
  std::memcpy(out, digits, integerDigits);
  out += integerDigits;
  *out++ = '.';
  std::memcpy(out, digits + integerDigits, decimals);
  return out + decimals;
}

char* formatSlopeField(double value, char* out) {
  constexpr int kWidth = 5;
  if (value >= 0.0 && value < 100.0 && !std::signbit(value)) {
    const int n = Hundredths::of(value);
    const int whole = n / 100;
    const char* const cents = kDigitPairs + std::size_t{2} * (n % 100);
    if (whole >= 100) {  // 99.995 and above print as 100.00
      *out++ = '1';
      *out++ = '0';
      *out++ = '0';
    } else if (whole >= 10) {
      const char* const pair = kDigitPairs + std::size_t{2} * whole;
      *out++ = pair[0];
      *out++ = pair[1];
    } else {
      *out++ = ' ';
      *out++ = static_cast<char>('0' + whole);
    }
    *out++ = '.';
    *out++ = cents[0];
    *out++ = cents[1];
    return out;
  }
  char text[kFixedTextCapacity];
  const char* const end = formatFixed(value, 2, text);
  const int length = static_cast<int>(end - text);
  for (int pad = kWidth - length; pad > 0; --pad) *out++ = ' ';
  std::memcpy(out, text, length);
  return out + length;
}

}  // namespace trasop
