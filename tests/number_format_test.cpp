#include "dmna/number_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <ios>
#include <limits>
#include <random>
#include <string>

#include "tests/reference_format.h"
#include "tests/soak.h"

namespace trasop {
namespace {

std::string fixed(double value, int decimals) {
  char text[kFixedTextCapacity];
  return std::string(text, formatFixed(value, decimals, text));
}

std::string slopeField(double value) {
  char text[kFixedTextCapacity + 8];
  return std::string(text, formatSlopeField(value, text));
}

struct FixedCase {
  double value;
  int decimals;
  const char* text;
};

// Expectations worked out from the rule: round the exact binary value to 17 significant
// digits, then cut the digit string, rounding half up in magnitude.
TEST(FormatFixed, RoundsTo17DigitsThenHalfAwayFromZero) {
  const double inf = std::numeric_limits<double>::infinity();
  const FixedCase cases[] = {
      // Exact halves round away from zero.
      {0.125, 2, "0.13"},
      {-0.125, 2, "-0.13"},
      {0.25, 1, "0.3"},
      {100.25, 1, "100.3"},
      {99.75 + 0.5, 1, "100.3"},
      // Just below and just above an exact half.
      {std::nextafter(0.125, 0.0), 2, "0.12"},
      {std::nextafter(0.125, 1.0), 2, "0.13"},
      // 0.105 is stored as 0.10499999999999999611...; its 17 digits are 0.10500000000000000.
      {0.105, 2, "0.11"},
      {0.745, 2, "0.75"},
      {0.995, 2, "1.00"},
      // Stored below the half, and still below it at 17 digits.
      {2.675, 2, "2.67"},
      {1.005, 2, "1.00"},
      {0.15, 1, "0.1"},
      {0.45, 1, "0.5"},
      {99.995, 2, "100.00"},
      // Carries through every digit.
      {9.9999, 2, "10.00"},
      {999.96, 1, "1000.0"},
      // Digits past the 17th print as 0.
      {1e23, 1, "99999999999999992000000.0"},
      {123456789012345678.0, 2, "123456789012345680.00"},
      {std::numeric_limits<double>::max(), 1,
       "17976931348623157"
       "0000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
       "0000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
       "0000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
       "0000000000000000000000000000.0"},
      // Small magnitudes.
      {0.0, 1, "0.0"},
      {0.005, 2, "0.01"},
      {0.0049, 2, "0.00"},
      {0.05, 1, "0.1"},
      {std::numeric_limits<double>::denorm_min(), 2, "0.00"},
      // Negative values keep their sign, also when they round to zero.
      {-0.04, 1, "-0.0"},
      {-0.0, 1, "-0.0"},
      {-1234.5678, 1, "-1234.6"},
      {123456.789, 2, "123456.79"},
      {inf, 1, "inf"},
      {-inf, 2, "-inf"},
      {std::nan(""), 1, "nan"},
      {-std::nan(""), 2, "nan"},
  };
  for (const FixedCase& c : cases) {
    EXPECT_EQ(c.text, fixed(c.value, c.decimals)) << c.value << " with " << c.decimals;
  }
}

TEST(FormatSlopeField, PadsToFiveCharacters) {
  const FixedCase cases[] = {
      {0.0, 2, " 0.00"},          {0.125, 2, " 0.13"},
      {0.105, 2, " 0.11"},        {9.994, 2, " 9.99"},
      {9.995, 2, " 9.99"},        {9.9951, 2, "10.00"},
      {12.345, 2, "12.35"},       {99.995, 2, "100.00"},
      {123.456, 2, "123.46"},     {1e6, 2, "1000000.00"},
      {-0.5, 2, "-0.50"},         {std::numeric_limits<double>::infinity(), 2, "  inf"},
      {std::nan(""), 2, "  nan"},
  };
  for (const FixedCase& c : cases) EXPECT_EQ(c.text, slopeField(c.value)) << c.value;
}

// Both printers against the reference written another way, on values packed around every
// rounding tie below 100, on values spread over that range, and on doubles of any magnitude.
TEST(FormatSlopeField, AgreesWithTheReferenceNearEveryTie) {
  auto expectAgreement = [](double value) {
    std::string expected = referenceFixed2(value);
    ASSERT_EQ(expected, fixed(value, 2)) << std::hexfloat << value;
    if (expected.size() < 5) expected.insert(0, 5 - expected.size(), ' ');
    ASSERT_EQ(expected, slopeField(value)) << std::hexfloat << value;
  };
  for (int n = 0; n < 10000; ++n) {
    const double tie = (2 * n + 1) / 200.0;
    double below = tie;
    double above = tie;
    for (int step = 0; step < 20; ++step) {
      expectAgreement(below);
      expectAgreement(above);
      below = std::nextafter(below, 0.0);
      above = std::nextafter(above, 1e9);
    }
    // The values checked straddle the point where the printed value steps up.
    EXPECT_NE(slopeField(below), slopeField(above)) << tie;
  }
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> spread(0.0, 120.0);
  const long spreadCount = 50000L * soakFactor();
  for (long n = 0; n < spreadCount; ++n) {
    expectAgreement(spread(random));
    std::uint64_t bits = random();
    double any = 0.0;
    std::memcpy(&any, &bits, sizeof any);
    expectAgreement(any);
  }
}

}  // namespace
}  // namespace trasop
