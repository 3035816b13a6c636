// Character classes and the number syntax shared by header values and data tokens.
#pragma once

#include <cstdint>

namespace trasop {

// Space, tab, line feed, vertical tab, form feed or carriage return. Bytes above 127 are not
// blanks, whatever the C library's locale says.
inline bool isBlank(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

inline bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The letters that may introduce an exponent: e, E, d or D.
inline bool isExponentLetter(char c) { return c == 'e' || c == 'E' || c == 'd' || c == 'D'; }

// The first character in [p, end) that is not a blank, or `end`.
inline const char* skipBlanks(const char* p, const char* end) {
  while (p != end && isBlank(static_cast<unsigned char>(*p))) ++p;
  return p;
}

// The first blank in [p, end), or `end`: the end of the token at `p`.
inline const char* skipToken(const char* p, const char* end) {
  while (p != end && !isBlank(static_cast<unsigned char>(*p))) ++p;
  return p;
}

// Lower case for the letters A to Z only.
inline char toLowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// Powers of ten that a double holds exactly.
inline constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                               1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                               1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The plain decimals that make up most data, such as 412.7: an optional sign, then digits with
// at most one ".", at most 19 digits in all, whose digits as an integer fit 53 bits, and no
// exponent. Both operands exact, one division by a power of ten converts them correctly
// rounded. Returns the position after the number with `value` set, or nullptr when the text
// at `p` is no such number (scanNumber then decides what it is). With kSentinel the text needs
// no bound: it must go on to a character that is neither a digit nor "." (the text reader
// keeps one behind its buffer); otherwise `last` bounds it.
template <bool kSentinel>
inline const char* scanPlainDecimal(const char* p, const char* last, double& value) {
  const auto more = [last](const char* q) { return kSentinel || q != last; };
  const bool negative = more(p) && *p == '-';
  if (more(p) && (*p == '-' || *p == '+')) ++p;
  std::uint64_t mantissa = 0;
  const char* const digits = p;
  for (; more(p) && isDigit(*p); ++p) mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
  int digitCount = static_cast<int>(p - digits);
  int fractionDigits = 0;
  if (more(p) && *p == '.') {
    const char* const fraction = ++p;
    for (; more(p) && isDigit(*p); ++p) mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
    fractionDigits = static_cast<int>(p - fraction);
    digitCount += fractionDigits;
  }
  if (digitCount == 0 || digitCount > 19 || mantissa > (std::uint64_t{1} << 53) ||
      (more(p) && isExponentLetter(*p))) {
    return nullptr;
  }
  const double magnitude = static_cast<double>(mantissa) / kExactPowersOfTen[fractionDigits];
  value = negative ? -magnitude : magnitude;
  return p;
}

// Scans a number whose text may come in pieces, such as a token that runs across the chunks
// of the text reader, in constant memory: of the digits only the first 25 significant ones are
// kept and the rest counted, and the exponent is read as it comes. The syntax and the value
// are those of scanNumber below, which scans with it.
class NumberScanner {
 public:
  // Continues the number with the text [p, last), which holds no blanks before it. Returns the
  // position at which the number ended, or `last` when it may go on in a further piece.
  const char* scan(const char* p, const char* last);

  // True once a character that cannot continue the number has been seen.
  bool ended() const { return ended_; }

  // True when the text scanned so far holds a number (at least one digit).
  bool hasNumber() const { return anyDigit_; }

  // Characters at the end of the scanned text that begin an exponent without its digits ("e",
  // "e-"): a number that ends there ends before them.
  int pendingCharacters() const;

  // The number that the text scanned so far stands for, 0.0 when it holds none.
  double value() const;

 private:
  static constexpr int kSignificantDigits = 25;
  // Exponent digits count while the value stays below 10 times this (and within 64 bits).
  static constexpr std::int64_t kExponentCap = 100000000000000000;
  enum class State : std::uint8_t {
    Start,           // nothing yet
    Sign,            // a sign
    Integer,         // digits before a point
    Point,           // a point with no digit before it
    Fraction,        // a point after digits, or digits after a point
    ExponentLetter,  // e, E, d or D after a number
    ExponentSign,    // its sign
    ExponentDigits,  // its digits
  };

  void addDigit(char c, bool inFraction);

  State state_ = State::Start;
  bool ended_ = false;
  bool anyDigit_ = false;
  bool negative_ = false;
  char digits_[kSignificantDigits] = {};
  int digitCount_ = 0;
  std::int64_t exponent_ = 0;  // the power of ten that scales the kept digits
  // The kept digits as an integer while they fit exactly in 53 bits.
  std::uint64_t mantissa_ = 0;
  bool mantissaExact_ = true;
  bool exponentNegative_ = false;
  std::int64_t exponentValue_ = 0;
};

// Converts the number at the start of [first, last) after skipping blanks: an optional sign,
// decimal digits with at most one ".", and an optional exponent introduced by e, E, d or D.
// Only the first 25 significant digits count. Text without such a number gives 0.0; a number
// too large for a double gives an infinity, one too small 0.0 or a denormal value.
// If `stop` is given, it receives the position after the number (or `first` when none).
double scanNumber(const char* first, const char* last, const char** stop = nullptr);

}  // namespace trasop
