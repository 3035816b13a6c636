#include "dmna/number_scan.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>
#include <system_error>

namespace trasop {

void NumberScanner::addDigit(char c, bool inFraction) {
  anyDigit_ = true;
  if (digitCount_ == 0 && c == '0') {
    if (inFraction) --exponent_;  // a leading zero only moves the decimal point
    return;
  }
  if (digitCount_ == kSignificantDigits) {
    if (!inFraction) ++exponent_;  // dropped digit: only its place counts
    return;
  }
  digits_[digitCount_++] = c;
  if (inFraction) --exponent_;
  if (mantissaExact_) {
    mantissa_ = mantissa_ * 10 + static_cast<unsigned>(c - '0');
    if (mantissa_ > (std::uint64_t{1} << 53) || digitCount_ >= 19) mantissaExact_ = false;
  }
}

const char* NumberScanner::scan(const char* p, const char* last) {
  if (ended_) return p;
  for (; p != last; ++p) {
    const char c = *p;
    switch (state_) {
      case State::Start:
        if (c == '+' || c == '-') {
          negative_ = c == '-';
          state_ = State::Sign;
          continue;
        }
        [[fallthrough]];
      case State::Sign:
        if (isDigit(c)) {
          addDigit(c, false);
          state_ = State::Integer;
          continue;
        }
        if (c == '.') {
          state_ = State::Point;
          continue;
        }
        break;
      case State::Integer:
        if (isDigit(c)) {
          addDigit(c, false);
          continue;
        }
        if (c == '.') {
          state_ = State::Fraction;
          continue;
        }
        if (isExponentLetter(c)) {
          state_ = State::ExponentLetter;
          continue;
        }
        break;
      case State::Point:
        if (isDigit(c)) {
          addDigit(c, true);
          state_ = State::Fraction;
          continue;
        }
        break;
      case State::Fraction:
        if (isDigit(c)) {
          addDigit(c, true);
          continue;
        }
        if (isExponentLetter(c)) {
          state_ = State::ExponentLetter;
          continue;
        }
        break;
      case State::ExponentLetter:
        if (c == '+' || c == '-') {
          exponentNegative_ = c == '-';
          state_ = State::ExponentSign;
          continue;
        }
        [[fallthrough]];
      case State::ExponentSign:
      case State::ExponentDigits:
        if (isDigit(c)) {
          // Counted up to 10^18, which no count of leading zeros in a token can offset; beyond
          // that, further digits change nothing.
          if (exponentValue_ < kExponentCap) exponentValue_ = exponentValue_ * 10 + (c - '0');
          state_ = State::ExponentDigits;
          continue;
        }
        break;
    }
    ended_ = true;
    return p;
  }
  return p;
}

int NumberScanner::pendingCharacters() const {
  if (state_ == State::ExponentLetter) return 1;
  if (state_ == State::ExponentSign) return 2;
  return 0;
}

namespace {

// Correctly rounded conversion of digits x 10^exponent through the standard library.
double convertGeneral(const char* digits, int digitCount, std::int64_t exponent) {
  char text[64];
  char* end = std::copy(digits, digits + digitCount, text);
  *end++ = 'e';
  end = std::to_chars(end, text + sizeof text, exponent).ptr;
  double value = 0.0;
  const auto result = std::from_chars(text, end, value);
  if (result.ec == std::errc::result_out_of_range) {
    // The magnitude decides: 0.d1d2... x 10^(exponent + digitCount).
    value = (exponent + digitCount > 0) ? std::numeric_limits<double>::infinity() : 0.0;
  }
  return value;
}

// The general path: any number of digits, exponents, the 25-digit rule.
double scanAnyNumber(const char* first, const char* p, const char* last, const char** stop) {
  NumberScanner scanner;
  const char* const end = scanner.scan(p, last);
  if (stop != nullptr) *stop = scanner.hasNumber() ? end - scanner.pendingCharacters() : first;
  return scanner.value();
}

}  // namespace

double NumberScanner::value() const {
  if (!anyDigit_) return 0.0;
  if (digitCount_ == 0) return negative_ ? -0.0 : 0.0;
  std::int64_t exponent = exponent_;
  if (state_ == State::ExponentDigits) {
    exponent += exponentNegative_ ? -exponentValue_ : exponentValue_;
  }
  double magnitude;
  if (mantissaExact_ && exponent >= -22 && exponent <= 22) {
    // Both operands are exact doubles, so one multiplication or division rounds correctly.
    const double m = static_cast<double>(mantissa_);
    magnitude = exponent >= 0 ? m * kExactPowersOfTen[exponent] : m / kExactPowersOfTen[-exponent];
  } else {
    magnitude = convertGeneral(digits_, digitCount_, exponent);
  }
  return negative_ ? -magnitude : magnitude;
}

double scanNumber(const char* first, const char* last, const char** stop) {
  const char* const p = skipBlanks(first, last);
  double value = 0.0;
  const char* const end = scanPlainDecimal<false>(p, last, value);
  if (end == nullptr) return scanAnyNumber(first, p, last, stop);
  if (stop != nullptr) *stop = end;
  return value;
}

}  // namespace trasop
