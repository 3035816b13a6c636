// The slopes computed from the heights.
#include "terrain/slope.h"

#include <gtest/gtest.h>

#include <limits>

#include "tests/grid_owner.h"

namespace trasop {
namespace {

// Fills a grid with heights from a function of (i, j) and computes its slopes.
template <typename Height>
void computeOn(Grid& g, double delta, Height height) {
  for (int i = 0; i < g.grid.ni; ++i) {
    for (int j = 0; j < g.grid.nj; ++j) g.height(i, j) = height(i, j);
  }
  computeSlopes(g.grid, delta);
}

TEST(ComputeSlopes, GivesTheSteeperAxisGradientOfAnalyticSurfaces) {
  struct PlaneCase {
    double perI;
    double perJ;
    double delta;
    double slope;
  };
  const PlaneCase cases[] = {
      {0.0, 0.0, 1.0, 0.0}, {1.0, 0.0, 1.0, 1.0},  {1.0, 0.0, 10.0, 0.1},    {0.0, -2.0, 1.0, 2.0},
      {3.0, 4.0, 1.0, 4.0}, {-4.0, 3.0, 1.0, 4.0}, {1.25, 0.0, 10.0, 0.125},
  };
  for (const PlaneCase& c : cases) {
    Grid g(5, 6);
    computeOn(g, c.delta, [&](int i, int j) { return 100.0 + c.perI * i + c.perJ * j; });
    for (int i = 0; i < 5; ++i) {
      for (int j = 0; j < 6; ++j) {
        const bool interior = i > 0 && i < 4 && j > 0 && j < 5;
        EXPECT_EQ(interior ? c.slope : 0.0, g.slope(i, j))
            << c.perI << ' ' << c.perJ << ' ' << c.delta << " at " << i << ',' << j;
      }
    }
  }
}

TEST(ComputeSlopes, MultipliesByTheRoundedReciprocal) {
  // |a - b| * (1 / (2 * delta)) and |a - b| / (2 * delta) differ here in the last bit.
  Grid g(3, 3);
  computeOn(g, 3.0, [](int i, int) { return i == 2 ? 7.0 : 0.0; });
  const double k = 1.0 / 6.0;
  EXPECT_EQ(7.0 * k, g.slope(1, 1));
  EXPECT_NE(7.0 / 6.0, g.slope(1, 1));
}

TEST(ComputeSlopes, UsesOnlyTheFourNeighboursOfTheSmallestGrid) {
  Grid g(3, 3);
  // Corners and the centre do not count.
  computeOn(g, 0.5, [](int i, int j) {
    const double heights[3][3] = {{1000.0, 2.0, -1000.0}, {5.0, 77.0, 1.0}, {500.0, 4.5, 1e9}};
    return heights[i][j];
  });
  EXPECT_EQ(4.0, g.slope(1, 1));  // max(|2 - 4.5|, |5 - 1|) / 1
}

TEST(ComputeSlopes, ARaisedPointTiltsItsFourNeighboursOnly) {
  Grid g(5, 5);
  computeOn(g, 2.0, [](int i, int j) { return i == 2 && j == 2 ? 8.0 : 0.0; });
  for (int i = 1; i < 4; ++i) {
    for (int j = 1; j < 4; ++j) {
      const bool neighbour = (i == 2) != (j == 2);
      EXPECT_EQ(neighbour ? 2.0 : 0.0, g.slope(i, j)) << i << ',' << j;
    }
  }
}

TEST(ComputeSlopes, NeverStoresANotANumber) {
  Grid g(3, 3);
  const double inf = std::numeric_limits<double>::infinity();
  computeOn(g, 1.0, [&](int i, int j) { return (i + j) % 2 == 1 ? inf : 0.0; });
  EXPECT_EQ(0.0, g.slope(1, 1));  // inf - inf on both axes
}
}  // namespace
}  // namespace trasop
