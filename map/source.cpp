#include "map/source.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "grid/grid.h"
#include "map/frame.h"

namespace trasop {

double sourceAreaRadius(double stack) { return std::max(50.0 * stack, 1000.0); }

bool groundHeight(const TerrainGrid& grid, const Frame& frame, double x, double y, double& height) {
  // The position in grid indices, and the cell of four points around it (the last cell where
  // it lies on the grid's far edge).
  const double u = (x - frame.xAt(0)) / frame.delta;
  const double v = (y - frame.yAt(0)) / frame.delta;
  if (!(u >= 0.0 && v >= 0.0 && u <= grid.ni - 1.0 && v <= grid.nj - 1.0)) return false;
  const auto i = static_cast<std::int64_t>(std::min(std::floor(u), grid.ni - 2.0));
  const auto j = static_cast<std::int64_t>(std::min(std::floor(v), grid.nj - 2.0));
  const double a = u - static_cast<double>(i);
  const double b = v - static_cast<double>(j);
  const double h00 = grid.rows[i][j].height;
  const double h10 = grid.rows[i + 1][j].height;
  const double h01 = grid.rows[i][j + 1].height;
  const double h11 = grid.rows[i + 1][j + 1].height;
  // Weights of exactly 0 leave a point's height as it is.
  const double south = a == 0.0 ? h00 : a == 1.0 ? h10 : h00 + a * (h10 - h00);
  const double north = a == 0.0 ? h01 : a == 1.0 ? h11 : h01 + a * (h11 - h01);
  height = b == 0.0 ? south : b == 1.0 ? north : south + b * (north - south);
  return true;
}

namespace {

// The baseline of 2 H in grid steps: H / delta = m + f, and the factor 1 / (2 H).
struct Baseline {
  std::int64_t m = 1;
  double f = 0.0;
  double k = 0.0;
};

// The gradients of cell (i, j) over the baseline, along i and along j.
void gradientsOver(const TerrainGrid& grid, const Baseline& b, std::int64_t i, std::int64_t j,
                   double& alongI, double& alongJ) {
  const auto h = [&grid](std::int64_t p, std::int64_t q) { return grid.rows[p][q].height; };
  const std::int64_t m = b.m;
  const double f = b.f;
  if (f > 0.0) {
    const double iAfter = h(i + m, j) + f * (h(i + m + 1, j) - h(i + m, j));
    const double iBefore = h(i - m, j) - f * (h(i - m, j) - h(i - m - 1, j));
    const double jAfter = h(i, j + m) + f * (h(i, j + m + 1) - h(i, j + m));
    const double jBefore = h(i, j - m) - f * (h(i, j - m) - h(i, j - m - 1));
    alongI = std::fabs(iAfter - iBefore) * b.k;
    alongJ = std::fabs(jAfter - jBefore) * b.k;
  } else {
    alongI = std::fabs(h(i + m, j) - h(i - m, j)) * b.k;
    alongJ = std::fabs(h(i, j + m) - h(i, j - m)) * b.k;
  }
}

}  // namespace

IndexWindow slopesOverBaseline(TerrainGrid& grid, double delta, double stack) {
  IndexWindow window;
  if (stack <= delta) {
    window.iLast = grid.ni - 2;
    window.jLast = grid.nj - 2;
    return window;
  }
  const double r = stack / delta;
  const double whole = std::floor(r);
  Baseline baseline;
  baseline.f = r - whole;
  baseline.k = 1.0 / (2.0 * stack);
  if (whole > grid.ni || whole > grid.nj) return window;  // no cell has room
  baseline.m = static_cast<std::int64_t>(whole);
  const std::int64_t reach = baseline.f > 0.0 ? baseline.m + 1 : baseline.m;
  window.iFirst = std::max<std::int64_t>(reach, 1);
  window.iLast = std::min<std::int64_t>(grid.ni - 1 - reach, grid.ni - 2);
  window.jFirst = std::max<std::int64_t>(reach, 1);
  window.jLast = std::min<std::int64_t>(grid.nj - 1 - reach, grid.nj - 2);
  for (std::int64_t i = window.iFirst; i <= window.iLast; ++i) {
    GridCell* const row = grid.rows[i];
    for (std::int64_t j = window.jFirst; j <= window.jLast; ++j) {
      double alongI = 0.0;
      double alongJ = 0.0;
      gradientsOver(grid, baseline, i, j, alongI, alongJ);
      // As trasop keeps a gradient: only where greater, so that a NaN never wins.
      double slope = 0.0;
      slope = alongI > slope ? alongI : slope;
      slope = alongJ > slope ? alongJ : slope;
      row[j].slope = slope;
    }
  }
  return window;
}

char gradientOverBaseline(const TerrainGrid& grid, double delta, double stack, std::int64_t i,
                          std::int64_t j, double slope) {
  Baseline baseline;
  if (stack <= delta) {
    baseline.k = 1.0 / (2.0 * delta);
  } else {
    const double r = stack / delta;
    baseline.m = static_cast<std::int64_t>(std::floor(r));
    baseline.f = r - std::floor(r);
    baseline.k = 1.0 / (2.0 * stack);
  }
  double alongI = 0.0;
  double alongJ = 0.0;
  gradientsOver(grid, baseline, i, j, alongI, alongJ);
  if (alongI == slope && alongJ == slope) return 'b';
  return alongI == slope ? 'i' : 'j';
}

void heightDifferences(const TerrainGrid& grid, const Frame& frame, const Circle& area,
                       double ground, double limit, HeightDifferences& differences) {
  differences = HeightDifferences();
  for (std::int64_t i = 1; i + 1 < grid.ni; ++i) {
    const GridCell* const row = grid.rows[i];
    const double x = frame.x(i);
    for (std::int64_t j = 1; j + 1 < grid.nj; ++j) {
      if (!area.holds(x, frame.y(j))) continue;
      ++differences.cells;
      const double difference = row[j].height - ground;
      differences.beyond += std::fabs(difference) > limit;
      if (difference > differences.maxAbove) {
        differences.maxAbove = difference;
        differences.aboveI = i;
        differences.aboveJ = j;
      }
      if (-difference > differences.maxBelow) {
        differences.maxBelow = -difference;
        differences.belowI = i;
        differences.belowJ = j;
      }
    }
  }
}

}  // namespace trasop
