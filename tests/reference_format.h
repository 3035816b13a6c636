// An independent reference for the printed slope fields, for the tests and the fuzz target:
// the text that formatFixed(value, 2) must give, worked out another way than the printer's.
// It starts from the value's exact decimal expansion (printf with enough digits for every
// double), rounds that by hand to 17 significant digits (correctly: halves to even, as an
// exact rounding does), and then cuts the digit string at two decimals, rounding up in
// magnitude when the first dropped digit is 5 or more.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace trasop {

inline std::string referenceFixed2(double value) {
  if (std::isnan(value)) return "nan";
  const std::string sign = std::signbit(value) ? "-" : "";
  if (std::isinf(value)) return sign + "inf";
  // d.ddd...e+XX with 800 digits after the point: a double's expansion has at most 767.
  static char text[1000];
  std::snprintf(text, sizeof text, "%.800e", std::fabs(value));
  std::string digits = text[0] + std::string(text + 2, 800);
  int exponent = std::atoi(text + 803);
  if (value == 0.0) exponent = 0;

  // 17 significant digits.
  const bool beyondHalf = digits.find_first_not_of('0', 18) != std::string::npos;
  const bool up =
      digits[17] > '5' || (digits[17] == '5' && (beyondHalf || (digits[16] - '0') % 2 == 1));
  digits.resize(17);
  if (up) {
    int k = 16;
    while (k >= 0 && digits[k] == '9') digits[k--] = '0';
    if (k >= 0) {
      ++digits[k];
    } else {
      digits.insert(digits.begin(), '1');
      digits.pop_back();
      ++exponent;
    }
  }

  // The hundredths: the digits before the cut, as an integer text.
  const int keep = exponent + 3;  // digits of the 17 that stand before the cut
  std::string hundredths;
  char firstDropped = '0';
  if (keep <= 0) {
    hundredths = "0";
    firstDropped = keep == 0 ? digits[0] : '0';
  } else if (keep >= 17) {
    hundredths = digits + std::string(static_cast<std::size_t>(keep - 17), '0');
  } else {
    hundredths = digits.substr(0, static_cast<std::size_t>(keep));
    firstDropped = digits[static_cast<std::size_t>(keep)];
  }
  if (firstDropped >= '5') {
    int k = static_cast<int>(hundredths.size()) - 1;
    while (k >= 0 && hundredths[k] == '9') hundredths[k--] = '0';
    if (k >= 0) {
      ++hundredths[k];
    } else {
      hundredths.insert(hundredths.begin(), '1');
    }
  }
  const std::size_t first = std::min(hundredths.find_first_not_of('0'), hundredths.size() - 1);
  hundredths.erase(0, first);
  if (hundredths.size() < 3) hundredths.insert(0, 3 - hundredths.size(), '0');
  return sign + hundredths.substr(0, hundredths.size() - 2) + "." +
         hundredths.substr(hundredths.size() - 2);
}

}  // namespace trasop
