#include "map/survey.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

namespace trasop {

namespace {

// Visits every interior cell (i, j) whose point lies in `area`, with its slope.
template <typename Visit>
void forEachCell(const TerrainGrid& grid, const Frame& frame, const Circle& area, Visit visit) {
  for (std::int64_t i = 1; i + 1 < grid.ni; ++i) {
    const GridCell* const row = grid.rows[i];
    const double x = frame.x(i);
    for (std::int64_t j = 1; j + 1 < grid.nj; ++j) {
      if (area.holds(x, frame.y(j))) visit(i, j, row[j].slope);
    }
  }
}

// Non-negative doubles (slopes, infinity among them) order as their bit patterns do.
std::uint64_t bitsOf(double value) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

constexpr int kBinShift = 48;  // 65536 bins by sign, exponent and the mantissa's first 4 bits

// The slopes at the percentiles' ranks (nearest rank: the smallest slope that at least p % of
// the cells do not exceed), found in two passes: a histogram of the slopes' leading bits,
// then the slopes of the bins where the ranks fall, gathered and partly sorted.
bool findPercentiles(const TerrainGrid& grid, const Frame& frame, const Circle& area,
                     Survey& survey) {
  if (survey.cells == 0) return true;
  try {
    std::vector<std::uint64_t> histogram(std::size_t{1} << (64 - kBinShift));
    forEachCell(grid, frame, area, [&histogram](std::int64_t, std::int64_t, double slope) {
      ++histogram[bitsOf(slope) >> kBinShift];
    });
    std::uint64_t rankInBin[kPercentileCount] = {};
    std::size_t binOf[kPercentileCount] = {};
    for (int k = 0; k < kPercentileCount; ++k) {
      const std::uint64_t rank =
          (static_cast<std::uint64_t>(kPercentiles[k]) * survey.cells + 99) / 100 - 1;
      std::uint64_t below = 0;
      std::size_t bin = 0;
      while (below + histogram[bin] <= rank) below += histogram[bin++];
      binOf[k] = bin;
      rankInBin[k] = rank - below;
    }
    std::vector<double> gathered[kPercentileCount];
    for (int k = 0; k < kPercentileCount; ++k) {
      if (k > 0 && binOf[k] == binOf[k - 1]) continue;
      gathered[k].reserve(histogram[binOf[k]]);
    }
    forEachCell(grid, frame, area, [&](std::int64_t, std::int64_t, double slope) {
      const std::size_t bin = bitsOf(slope) >> kBinShift;
      for (int k = 0; k < kPercentileCount; ++k) {
        if (bin == binOf[k] && !(k > 0 && binOf[k] == binOf[k - 1])) gathered[k].push_back(slope);
      }
    });
    for (int k = 0; k < kPercentileCount; ++k) {
      int owner = k;
      while (owner > 0 && binOf[owner - 1] == binOf[k]) --owner;
      std::vector<double>& values = gathered[owner];
      const auto nth = values.begin() + static_cast<std::ptrdiff_t>(rankInBin[k]);
      std::nth_element(values.begin(), nth, values.end());
      survey.percentiles[k] = *nth;
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

// Which gradient of cell (i, j) is its slope, computed as the slopes are.
char gradientAlong(const TerrainGrid& grid, double delta, std::int64_t i, std::int64_t j,
                   double slope) {
  const double k = 1.0 / (2.0 * delta);
  const double alongI = std::fabs(grid.rows[i - 1][j].height - grid.rows[i + 1][j].height) * k;
  const double alongJ = std::fabs(grid.rows[i][j - 1].height - grid.rows[i][j + 1].height) * k;
  if (alongI == slope && alongJ == slope) return 'b';
  return alongI == slope ? 'i' : 'j';
}

}  // namespace

bool surveySlopes(const TerrainGrid& grid, const Frame& frame, const Thresholds& thresholds,
                  const Circle& area, Survey& survey) {
  survey = Survey();
  survey.lowest = grid.rows[0][0].height;
  survey.highest = survey.lowest;
  for (std::int64_t i = 0; i < grid.ni; ++i) {
    for (std::int64_t j = 0; j < grid.nj; ++j) {
      const double height = grid.rows[i][j].height;
      survey.lowest = std::min(survey.lowest, height);
      survey.highest = std::max(survey.highest, height);
    }
  }
  survey.ringCount = area.given ? kRingCount : 0;
  for (int r = 0; r < survey.ringCount; ++r) {
    survey.rings[r].inner = area.radius * r / kRingCount;
    survey.rings[r].outer = area.radius * (r + 1) / kRingCount;
  }
  bool anyCell = false;
  forEachCell(grid, frame, area, [&](std::int64_t i, std::int64_t j, double slope) {
    ++survey.cells;
    const int k = slopeClass(slope, thresholds);
    ++survey.classCells[k];
    for (int t = 0; t < thresholds.count; ++t) survey.ties[t] += slope == thresholds.values[t];
    if (!anyCell || slope > survey.maxSlope) {
      anyCell = true;
      survey.maxSlope = slope;
      survey.maxCells = 0;
      survey.maxI = i;
      survey.maxJ = j;
    }
    survey.maxCells += slope == survey.maxSlope;
    if (survey.ringCount > 0) {
      const double dx = frame.x(i) - area.x;
      const double dy = frame.y(j) - area.y;
      const double distance = std::sqrt(dx * dx + dy * dy);
      int r = 0;
      while (r + 1 < kRingCount && distance > survey.rings[r].outer) ++r;
      ++survey.rings[r].cells;
      ++survey.rings[r].classCells[k];
    }
  });
  if (anyCell) {
    survey.maxAlong = gradientAlong(grid, frame.delta, survey.maxI, survey.maxJ, survey.maxSlope);
  }
  return findPercentiles(grid, frame, area, survey);
}

}  // namespace trasop
