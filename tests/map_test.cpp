// The thresholds of trasop-map's classes: how they are written, and which class a slope at and
// just above one falls in.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "map/thresholds.h"

namespace trasop {
namespace {

TEST(Thresholds, AreReadAsRatiosOrDecimalsAscending) {
  struct Case {
    const char* text;
    int count;  // 0: refused
    double first;
    double last;
  };
  const Case cases[] = {
      {"1:20,1:5", 2, 1.0 / 20.0, 1.0 / 5.0},
      {"0.05,0.2", 2, 0.05, 0.2},
      {"1:20,0.2", 2, 0.05, 0.2},
      {"0.1", 1, 0.1, 0.1},
      {"1:100,1:20,1:10,1:5", 4, 0.01, 0.2},
      {"1:100,1:20,1:10,1:5,1:2", 0, 0, 0},  // five
      {"1:5,1:20", 0, 0, 0},                 // descending
      {"0.05,0.05", 0, 0, 0},                // not ascending
      {"0,0.2", 0, 0, 0},                    // not positive
      {"-0.05", 0, 0, 0},
      {"1:0", 0, 0, 0},
      {"inf", 0, 0, 0},
      {"1e-2", 0, 0, 0},
      {"0.05,", 0, 0, 0},
      {"", 0, 0, 0},
      {"0.05;0.2", 0, 0, 0},
  };
  for (const Case& c : cases) {
    Thresholds thresholds;
    EXPECT_EQ(c.count > 0, parseThresholds(c.text, thresholds)) << c.text;
    if (c.count == 0) continue;
    EXPECT_EQ(c.count, thresholds.count) << c.text;
    EXPECT_EQ(c.first, thresholds.values[0]) << c.text;
    EXPECT_EQ(c.last, thresholds.values[thresholds.count - 1]) << c.text;
  }
}

// "Steeper than" is strictly greater: a slope exactly at a threshold stays below it, one ulp
// above is in the class above.
TEST(Thresholds, PutASlopeAtAThresholdInTheClassBelow) {
  const Thresholds thresholds = defaultThresholds();
  const double at20 = 1.0 / 20.0;
  const double at5 = 1.0 / 5.0;
  const double cases[][2] = {
      {0.0, 0},
      {at20, 0},
      {std::nextafter(at20, 1.0), 1},
      {at5, 1},
      {std::nextafter(at5, 1.0), 2},
      {INFINITY, 2},
  };
  for (const auto& c : cases) EXPECT_EQ(c[1], slopeClass(c[0], thresholds)) << c[0];
  EXPECT_EQ(0.05, at20);  // the decimal and the ratio are the same double
}

}  // namespace
}  // namespace trasop
