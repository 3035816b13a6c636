#include "dmna/number_scan.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <random>
#include <string>

#include "dmna/text_reader.h"
#include "tests/soak.h"

namespace trasop {
namespace {

double scan(const std::string& text, std::size_t* used = nullptr) {
  const char* stop = nullptr;
  const double value = scanNumber(text.data(), text.data() + text.size(), &stop);
  if (used != nullptr) *used = static_cast<std::size_t>(stop - text.data());
  return value;
}

struct NumberCase {
  const char* text;
  double value;
  std::size_t used;  // characters that belong to the number (0: none)
};

TEST(ScanNumber, FollowsTheNumberSyntax) {
  const double inf = std::numeric_limits<double>::infinity();
  const NumberCase cases[] = {
      {"12", 12.0, 2},
      {"  \t-2.5", -2.5, 7},
      {"+3", 3.0, 2},
      {".5", 0.5, 2},
      {"5.", 5.0, 2},
      {"0012.50", 12.5, 7},
      {"2.5d1", 25.0, 5},
      {"1.5D2", 150.0, 5},
      {"1.0E+02", 100.0, 7},
      {"125e-3", 0.125, 6},
      // An exponent letter without digits, or a sign after the digits, ends the number.
      {"1e", 1.0, 1},
      {"1e+", 1.0, 1},
      {"1d-x", 1.0, 1},
      {"1.5-3", 1.5, 3},
      {"7'comment", 7.0, 1},
      {"3.2.1", 3.2, 3},
      // No number at the start: 0.0.
      {"", 0.0, 0},
      {".", 0.0, 0},
      {"-", 0.0, 0},
      {"+.e5", 0.0, 0},
      {"abc", 0.0, 0},
      {"inf", 0.0, 0},
      {"nan", 0.0, 0},
      {"infinity", 0.0, 0},
      {"= 5", 0.0, 0},
      // Hexadecimal is no number syntax here: only the leading 0 counts.
      {"0x1A", 0.0, 1},
      // Beyond the range of a double.
      {"1e400", inf, 5},
      {"-1e400", -inf, 6},
      {"1e99999999999999999999", inf, 22},
      {"1e-400", 0.0, 6},
      {"0e99999", 0.0, 7},
      {"4.9406564584124654e-324", std::numeric_limits<double>::denorm_min(), 23},
      {"1.7976931348623157e308", std::numeric_limits<double>::max(), 22},
      // Many digits, few significant ones.
      {"0.000000000000000000000000000000123", 1.23e-31, 35},
      {"123456789012345678901234567890", 1.2345678901234568e29, 30},
  };
  for (const NumberCase& c : cases) {
    std::size_t used = 0;
    const double value = scan(c.text, &used);
    EXPECT_EQ(c.value, value) << '"' << c.text << '"';
    EXPECT_EQ(c.used, used) << '"' << c.text << '"';
  }
}

TEST(ScanNumber, KeepsTheSignOfZero) {
  EXPECT_TRUE(std::signbit(scan("-0")));
  EXPECT_TRUE(std::signbit(scan("-0.000e7")));
  EXPECT_FALSE(std::signbit(scan("0")));
}

TEST(ScanNumber, CountsOnlyTheFirst25SignificantDigits) {
  // 2^53 + 1 lies exactly halfway between two doubles. Digits beyond the 25th that would tip
  // it upwards do not count, so it rounds to even; with the tipping digit inside the 25 it
  // rounds up.
  EXPECT_EQ(9007199254740992.0, scan("9007199254740993.0000000000000000001"));
  EXPECT_EQ(9007199254740994.0, scan("9007199254740993.000000001"));
  // Leading zeros are not significant digits.
  EXPECT_EQ(9007199254740994.0, scan("00000000009007199254740993.000000001"));
}

// A billion leading zeros of a fraction and an exponent of a billion and four cancel out: the
// exponent's digits count far beyond any double's range (the text comes in pieces, as from the
// reader).
TEST(NumberScanner, CountsExponentDigitsBeyondABillion) {
  const std::string zeros(1000000, '0');
  const std::string head = "0.", tail = "1e1000000004 ";
  NumberScanner number;
  number.scan(head.data(), head.data() + head.size());
  for (int k = 0; k < 1000; ++k) number.scan(zeros.data(), zeros.data() + zeros.size());
  number.scan(tail.data(), tail.data() + tail.size());
  EXPECT_TRUE(number.ended());
  EXPECT_EQ(1000.0, number.value());
}

// The fast conversion of short plain numbers must agree with the correctly rounded one of the
// standard library on every value.
TEST(ScanNumber, FastPathAgreesWithCorrectRounding) {
  std::mt19937_64 random(20261207);
  std::uniform_int_distribution<std::uint64_t> mantissa(0, (std::uint64_t{1} << 53));
  std::uniform_int_distribution<int> decimals(0, 22);
  const long count = 200000L * soakFactor();
  for (long n = 0; n < count; ++n) {
    std::string text = std::to_string(mantissa(random) >> (n % 50));
    const int d = decimals(random);
    if (d > 0) {
      if (static_cast<int>(text.size()) <= d) text.insert(0, d - text.size() + 1, '0');
      text.insert(text.size() - d, ".");
    }
    for (const std::string& number : {text, text + "e5", "-" + text + "E-7"}) {
      double expected = 0.0;
      std::from_chars(number.data(), number.data() + number.size(), expected);
      ASSERT_EQ(expected, scan(number)) << number;
      // The same number as a data token, the way the text reader takes it.
      if (n % 16 == 0) {
        const std::string token = number + (n % 32 == 0 ? "\n" : " ");
        TextReader in(token);
        double read = 0.0;
        ASSERT_TRUE(in.readNumber(read));
        ASSERT_EQ(expected, read) << number;
      }
    }
  }
}

TEST(CharacterClasses, BlanksAreTheSixAsciiBlanks) {
  for (int c = 0; c < 256; ++c) {
    const bool expected = c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
    EXPECT_EQ(expected, isBlank(static_cast<unsigned char>(c))) << c;
  }
  EXPECT_EQ('a', toLowerAscii('A'));
  EXPECT_EQ('z', toLowerAscii('Z'));
  EXPECT_EQ('@', toLowerAscii('@'));
  EXPECT_EQ('\xc4', toLowerAscii('\xc4'));  // bytes above 127 stay as they are
}

}  // namespace
}  // namespace trasop
