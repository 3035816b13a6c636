// Character classes and the number syntax shared by header values and data tokens.
#pragma once

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

// Converts the number at the start of [first, last) after skipping blanks: an optional sign,
// decimal digits with at most one ".", and an optional exponent introduced by e, E, d or D.
// Only the first 25 significant digits count. Text without such a number gives 0.0; a number
// too large for a double gives an infinity, one too small 0.0 or a denormal value.
// If `stop` is given, it receives the position after the number (or `first` when none).
double scanNumber(const char* first, const char* last, const char** stop = nullptr);

}  // namespace trasop
