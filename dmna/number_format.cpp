#include "dmna/number_format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

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
  static constexpr int kUnknown = kLimit + 1;

  // The printed hundredths of a value in [0, 100), or kUnknown while the threshold that decides
  // it is not computed yet (see learn).
  // Whether the value is one of those below 100 that the thresholds decide: not negative, not
  // -0.0 and not NaN.
  static bool covers(double value) { return value >= 0.0 && value < 100.0 && !std::signbit(value); }

  static int of(double value) {
    const int n = below(value);
    const double threshold = thresholds_[n];
    if (threshold == 0.0) return kUnknown;
    // Up or down is a coin toss on real data: no branch to mispredict.
    return n + static_cast<int>(value >= threshold);
  }

  // Computes the threshold that of(value) needs. Thresholds are computed when first needed,
  // as a grid's slopes mostly lie in a narrow range; 0.0 marks one not computed yet (every
  // threshold is near 0.005 or above).
  static void learn(double value) {
    const int n = below(value);
    thresholds_[n] = smallestAbove(n);
  }

 private:
  // floor(value * 100), which the printed hundredths equal or exceed by one.
  static int below(double value) { return std::min(static_cast<int>(value * 100.0), kLimit - 1); }

  static int slowHundredths(double value) {
    char digits[kFixedTextCapacity];
    const int length = roundedScaledDigits(value, 2, digits);
    int n = 0;
    for (int k = 0; k < length; ++k) n = n * 10 + (digits[k] - '0');
    return n;
  }

  // The smallest double that prints as n + 1 hundredths or more, found by stepping from the
  // middle between n and n + 1 hundredths.
  static double smallestAbove(int n) {
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
    return x;
  }

  static double thresholds_[kLimit];
};

double Hundredths::thresholds_[kLimit];

// The slope fields of 0 to 99.99 by hundredths: " 0.00", " 0.01", ... "99.99", made when the
// program is compiled.
struct SlopeFieldTexts {
  static constexpr int kLength = 5;
  char text[Hundredths::kLimit][kLength];
};

constexpr SlopeFieldTexts makeSlopeFieldTexts() {
  SlopeFieldTexts texts{};
  for (int n = 0; n < Hundredths::kLimit; ++n) {
    char* const field = texts.text[n];
    const int whole = n / 100;
    field[0] = whole >= 10 ? static_cast<char>('0' + whole / 10) : ' ';
    field[1] = static_cast<char>('0' + whole % 10);
    field[2] = '.';
    field[3] = static_cast<char>('0' + n / 10 % 10);
    field[4] = static_cast<char>('0' + n % 10);
  }
  return texts;
}

constexpr SlopeFieldTexts kSlopeFieldTexts = makeSlopeFieldTexts();

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

namespace {

// The slope field of any value, padded to its width.
char* formatWideSlopeField(double value, char* out) {
  constexpr int kWidth = 5;
  char text[kFixedTextCapacity];
  const char* const end = formatFixed(value, 2, text);
  const int length = static_cast<int>(end - text);
  for (int pad = kWidth - length; pad > 0; --pad) *out++ = ' ';
  std::memcpy(out, text, length);
  return out + length;
}

char* formatRareSlopeField(double value, char* out);

}  // namespace

// The common values take the table; everything else, a threshold still to compute included,
// goes on to formatRareSlopeField, called last and kept out of line, so that the common way
// needs no stack frame.
char* formatSlopeField(double value, char* out) {
  if (Hundredths::covers(value)) {
    const int n = Hundredths::of(value);
    if (n < Hundredths::kLimit) {
      std::memcpy(out, kSlopeFieldTexts.text[n], SlopeFieldTexts::kLength);
      return out + SlopeFieldTexts::kLength;
    }
  }
  return formatRareSlopeField(value, out);
}

namespace {

[[gnu::noinline]] char* formatRareSlopeField(double value, char* out) {
  if (Hundredths::covers(value) && Hundredths::of(value) == Hundredths::kUnknown) {
    Hundredths::learn(value);
    return formatSlopeField(value, out);
  }
  return formatWideSlopeField(value, out);
}

}  // namespace

}  // namespace trasop
