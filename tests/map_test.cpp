// The thresholds of trasop-map's classes (how they are written, and which class a slope at and
// just above one falls in), and the terrain around a source: slopes over 2 H, ground height.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "map/frame.h"
#include "map/source.h"
#include "map/thresholds.h"
#include "map_app/report.h"
#include "terrain/slope.h"
#include "tests/grid_owner.h"

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

// Slopes over 2 H on a plane rising 0.0625 per metre along i (delta 4): 0.0625 for every H,
// a multiple of delta, between multiples, or at most delta (the grid's own slope, kept as it
// is); the cells whose baseline leaves the grid are outside the window.
TEST(SlopesOverBaseline, OfAPlaneAreItsSlopeForEveryStackHeight) {
  const struct {
    double stack;
    std::int64_t first;  // the first cell along each index that is assessed
  } cases[] = {{2.0, 1}, {4.0, 1}, {8.0, 2}, {10.0, 3}, {16.0, 4}, {29.0, 8}};
  for (const auto& c : cases) {
    Grid plane(30, 20);
    for (int i = 0; i < 30; ++i) {
      for (int j = 0; j < 20; ++j) plane.height(i, j) = 0.25 * i;
    }
    computeSlopes(plane.grid, 4.0);
    const IndexWindow window = slopesOverBaseline(plane.grid, 4.0, c.stack);
    EXPECT_EQ(c.first, window.iFirst) << c.stack;
    EXPECT_EQ(c.first, window.jFirst) << c.stack;
    EXPECT_EQ(28 - (c.first - 1), window.iLast) << c.stack;
    for (std::int64_t i = window.iFirst; i <= window.iLast; ++i) {
      for (std::int64_t j = window.jFirst; j <= window.jLast; ++j) {
        ASSERT_EQ(0.0625, plane.slope(static_cast<int>(i), static_cast<int>(j))) << c.stack;
      }
    }
  }
}

// A bump narrower than 2 H is steeper over 2 x delta than over 2 H; where H is a multiple of
// delta the slope is the difference k points apart over 2 H.
TEST(SlopesOverBaseline, OfABumpAreGentlerThanTheGridsAndSpanKPoints) {
  Grid bump(21, 21);
  bump.height(10, 10) = 6.0;
  bump.height(11, 10) = 2.0;
  computeSlopes(bump.grid, 10.0);
  const double grid = bump.slope(10, 9);      // 6 m over 20 m
  slopesOverBaseline(bump.grid, 10.0, 30.0);  // three points each way
  EXPECT_EQ(6.0 * (1.0 / 20.0), grid);
  EXPECT_EQ(std::fabs(2.0 - 0.0) * (1.0 / 60.0), bump.slope(8, 10));  // h(11) - h(5)
  EXPECT_EQ(6.0 * (1.0 / 60.0), bump.slope(10, 7));                   // h(10, 10) - h(10, 4)
  EXPECT_LT(bump.slope(10, 7), grid);
}

// Height differences on a plane rising 0.25 m a point along i, to a source at i = 15 (3.75 m):
// the cells more than 0.7 H = 2.8 m off are those of i up to 3 and from 27, 18 cells each.
TEST(HeightDifferences, OnAPlaneCountTheCellsBeyond0_7H) {
  Grid plane(30, 20);
  for (int i = 0; i < 30; ++i) {
    for (int j = 0; j < 20; ++j) plane.height(i, j) = 0.25 * i;
  }
  const Frame frame{30, 20, 0.0, 0.0, 4.0, 0.0, 0.0, false};
  Circle area;
  area.given = true;
  area.x = 60.0;
  area.y = 40.0;
  area.radius = 1000.0;
  HeightDifferences d;
  heightDifferences(plane.grid, frame, area, 3.75, 0.7 * 4.0, d);
  EXPECT_EQ(28u * 18u, d.cells);
  EXPECT_EQ(5u * 18u, d.beyond);
  EXPECT_EQ(3.25, d.maxAbove);
  EXPECT_EQ(28, d.aboveI);
  EXPECT_EQ(3.5, d.maxBelow);
  EXPECT_EQ(1, d.belowI);
}

// The source's ground height: a grid point's own height there, bilinear between points, and
// nothing outside the grid.
TEST(GroundHeight, IsBilinearAndExactAtAPoint) {
  Grid g(3, 3);
  g.height(1, 1) = 10.0;
  g.height(2, 1) = 20.0;
  g.height(1, 2) = 30.0;
  g.height(2, 2) = 60.0;
  const Frame frame{3, 3, 100.0, 200.0, 10.0, 0.0, 0.0, false};
  const struct {
    double x, y;
    bool inside;
    double height;
  } cases[] = {{110.0, 210.0, true, 10.0}, {120.0, 220.0, true, 60.0},  {115.0, 210.0, true, 15.0},
               {115.0, 215.0, true, 30.0}, {112.5, 217.5, true, 31.25}, {99.0, 210.0, false, 0.0},
               {120.5, 210.0, false, 0.0}};
  for (const auto& c : cases) {
    double height = -1.0;
    EXPECT_EQ(c.inside, groundHeight(g.grid, frame, c.x, c.y, height)) << c.x << " " << c.y;
    if (c.inside) {
      EXPECT_EQ(c.height, height) << c.x << " " << c.y;
    }
  }
  EXPECT_EQ(1000.0, sourceAreaRadius(15.0));
  EXPECT_EQ(1500.0, sourceAreaRadius(30.0));
}

// The verdicts of a source: "required" only where both tests hold; never "not required" while
// cells of the area are left out; the range by the stricter of the two baselines.
TEST(SourceVerdicts, FollowBothTestsAndTheCellsLeftOut) {
  const struct {
    std::uint64_t beyond, steeper20, steeper5Baseline, steeper5Grid, leftOut;
    const char* terrain;
    const char* range;
  } cases[] = {
      {10, 5, 0, 0, 0, "required", "within_range"},
      {10, 0, 0, 0, 0, "not_required", "within_range"},
      {0, 5, 0, 2, 0, "not_required", "outside_range"},
      {0, 0, 1, 0, 0, "not_required", "outside_range"},
      {10, 5, 0, 0, 3, "required", "not_assessed"},
      {0, 5, 0, 0, 3, "not_assessed", "not_assessed"},
      {0, 0, 0, 4, 3, "not_assessed", "outside_range"},
  };
  std::vector<SourceFigures> sources;
  for (const auto& c : cases) {
    SourceFigures& figures = sources.emplace_back();
    figures.heights.beyond = c.beyond;
    figures.baselineSteeper[0] = c.steeper20;
    figures.baselineSteeper[1] = c.steeper5Baseline;
    figures.gridSteeper[1] = c.steeper5Grid;
    figures.leftOut = c.leftOut;
    EXPECT_STREQ(c.terrain, terrainVerdict(figures)) << c.beyond << " " << c.steeper20;
    EXPECT_STREQ(c.range, rangeVerdict(figures)) << c.steeper5Grid << " " << c.leftOut;
  }
  // Several sources, by their rows above: the most cautious verdict governs.
  const struct {
    std::vector<int> rows;
    const char* terrain;
    const char* range;
  } together[] = {
      {{1, 1}, "not_required", "within_range"},  {{1, 0}, "required", "within_range"},
      {{1, 3}, "not_required", "outside_range"}, {{5, 1}, "not_assessed", "not_assessed"},
      {{5, 0}, "required", "not_assessed"},      {{5, 6}, "not_assessed", "outside_range"},
  };
  for (const auto& t : together) {
    std::vector<SourceFigures> chosen;
    for (const int row : t.rows) chosen.push_back(sources[static_cast<std::size_t>(row)]);
    EXPECT_STREQ(t.terrain, terrainVerdict(chosen)) << t.rows[0] << " " << t.rows[1];
    EXPECT_STREQ(t.range, rangeVerdict(chosen)) << t.rows[0] << " " << t.rows[1];
  }
}

}  // namespace
}  // namespace trasop
