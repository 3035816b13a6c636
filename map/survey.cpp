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

// The cells j = first .. last of a line of the grid (none where first > last).
struct Span {
  std::int64_t first;
  std::int64_t last;
};

// The smallest j in [low, high] for which `is` holds, or high + 1; `is` must be false up to
// some j and true from there on.
template <typename Predicate>
std::int64_t firstWhere(std::int64_t low, std::int64_t high, Predicate is) {
  ++high;
  while (low < high) {
    const std::int64_t middle = low + (high - low) / 2;
    if (is(middle)) {
      high = middle;
    } else {
      low = middle + 1;
    }
  }
  return low;
}

// The interior cells of line i whose points lie in `area`'s circle. Along a line x stays and
// y grows with j, so the distance to the centre falls and then rises, and the cells in the
// circle are one run; it is found by halving, with the very test a single point is judged by.
Span circleSpan(const TerrainGrid& grid, const Frame& frame, const Circle& area, std::int64_t i) {
  const std::int64_t last = grid.nj - 2;
  if (!area.given) return {1, last};
  const double x = frame.x(i);
  auto holds = [&](std::int64_t j) { return area.holds(x, frame.y(j)); };
  // The point closest to the centre is the last one south of it or the first one not.
  const std::int64_t north =
      firstWhere(1, last, [&](std::int64_t j) { return !(frame.y(j) < area.y); });
  std::int64_t inside = 0;
  if (north <= last && holds(north)) {
    inside = north;
  } else if (north > 1 && holds(north - 1)) {
    inside = north - 1;
  } else {
    return {1, 0};
  }
  return {firstWhere(1, inside, holds),
          firstWhere(inside, last, [&](std::int64_t j) { return !holds(j); }) - 1};
}

// The interior cells of line i in `area`: in its circle and its window of cells.
Span areaSpan(const TerrainGrid& grid, const Frame& frame, const Circle& area, std::int64_t i) {
  if (i < area.iFirst || i > area.iLast) return {1, 0};
  const Span span = circleSpan(grid, frame, area, i);
  return {std::max(span.first, area.jFirst), std::min(span.last, area.jLast)};
}

// Widens [lowest, highest] to the heights of a row of n cells.
void widenHeightRange(const GridCell* row, std::int64_t n, double& lowest, double& highest) {
  double low = lowest;
  double high = highest;
  for (std::int64_t j = 0; j < n; ++j) {
    const double height = row[j].height;
    low = height < low ? height : low;
    high = height > high ? height : high;
  }
  lowest = low;
  highest = high;
}

// Non-negative doubles (slopes, infinity among them) order as their bit patterns do.
std::uint64_t bitsOf(double value) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

constexpr int kBinShift = 48;  // 65536 bins by sign, exponent and the mantissa's first 4 bits
constexpr std::size_t kBins = std::size_t{1} << (64 - kBinShift);

// Calls visit(slope) for the slope of every interior cell in the area, line by line.
template <typename Visit>
void forEachSlopeInArea(const TerrainGrid& grid, const Frame& frame, const Circle& area,
                        Visit visit) {
  for (std::int64_t i = 1; i + 1 < grid.ni; ++i) {
    const GridCell* const row = grid.rows[i];
    const Span span = areaSpan(grid, frame, area, i);
    for (std::int64_t j = span.first; j <= span.last; ++j) visit(row[j].slope);
  }
}

// A bin holding at most this many slopes has them gathered and ordered; a fuller one is split
// into 65536 bins by its next 16 bits in a further pass. So the memory stays bounded (0.5 MiB
// a percentile) where many cells share few values, as the slopes of heights in millimetres do.
constexpr std::uint64_t kMostGathered = 65536;

// Where a percentile's slope is sought: among the slopes whose leading `known` bits are
// `prefix`, `count` of them, at `rank` (from 0) among those.
struct Search {
  std::uint64_t prefix = 0;
  int known = 0;
  std::uint64_t rank = 0;
  std::uint64_t count = 0;
  bool holds(std::uint64_t bits) const { return bits >> (64 - known) == prefix; }
};

// Narrows the searches whose bin is too full for gathering by the next 16 bits: one pass
// that counts each such search's slopes by those bits.
void refineSearches(const TerrainGrid& grid, const Frame& frame, const Circle& area,
                    Search* searches, int count) {
  std::vector<std::uint64_t> counts[kPercentileCount];
  bool refine[kPercentileCount] = {};
  bool any = false;
  for (int k = 0; k < count; ++k) {
    refine[k] = searches[k].count > kMostGathered && searches[k].known < 64;
    if (refine[k]) counts[k].assign(kBins, 0);
    any = any || refine[k];
  }
  if (!any) return;
  forEachSlopeInArea(grid, frame, area, [&](double slope) {
    const std::uint64_t bits = bitsOf(slope);
    for (int k = 0; k < count; ++k) {
      if (refine[k] && searches[k].holds(bits)) {
        ++counts[k][(bits >> (48 - searches[k].known)) & (kBins - 1)];
      }
    }
  });
  for (int k = 0; k < count; ++k) {
    if (!refine[k]) continue;
    Search& search = searches[k];
    std::size_t bin = 0;
    while (search.rank >= counts[k][bin]) search.rank -= counts[k][bin++];
    search.prefix = search.prefix << 16 | bin;
    search.known += 16;
    search.count = counts[k][bin];
  }
}

// The slopes at the percentiles' ranks (nearest rank: the smallest slope that at least p % of
// the cells do not exceed). `histogram` counts the slopes by their leading 16 bits; a bin where
// a rank falls is split further while it holds many slopes (refineSearches), then its slopes
// are gathered and the rank's one picked out.
bool findPercentiles(const TerrainGrid& grid, const Frame& frame, const Circle& area,
                     const std::vector<std::uint64_t>& histogram, Survey& survey) {
  if (survey.cells == 0) return true;
  Search searches[kPercentileCount];
  std::size_t bin = 0;
  std::uint64_t below = 0;
  for (int k = 0; k < kPercentileCount; ++k) {  // the ranks ascend, and so do their bins
    const std::uint64_t rank =
        (static_cast<std::uint64_t>(kPercentiles[k]) * survey.cells + 99) / 100 - 1;
    while (below + histogram[bin] <= rank) below += histogram[bin++];
    searches[k] = Search{bin, 16, rank - below, histogram[bin]};
  }
  try {
    for (int level = 1; level < 4; ++level) {
      refineSearches(grid, frame, area, searches, kPercentileCount);
    }
    std::vector<double> gathered[kPercentileCount];
    for (int k = 0; k < kPercentileCount; ++k) {
      if (searches[k].known < 64) gathered[k].reserve(static_cast<std::size_t>(searches[k].count));
    }
    forEachSlopeInArea(grid, frame, area, [&](double slope) {
      const std::uint64_t bits = bitsOf(slope);
      for (int k = 0; k < kPercentileCount; ++k) {
        if (searches[k].known < 64 && searches[k].holds(bits)) gathered[k].push_back(slope);
      }
    });
    for (int k = 0; k < kPercentileCount; ++k) {
      const Search& search = searches[k];
      if (search.known == 64) {  // every bit known: the slope itself
        std::memcpy(&survey.percentiles[k], &search.prefix, sizeof(double));
        continue;
      }
      std::vector<double>& slopes = gathered[k];
      const auto nth = slopes.begin() + static_cast<std::ptrdiff_t>(search.rank);
      std::nth_element(slopes.begin(), nth, slopes.end());
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

// Counts the cells of a ring around the area's centre.
void countInRing(const Frame& frame, const Circle& area, std::int64_t i, std::int64_t j, int k,
                 Survey& survey) {
  const double dx = frame.x(i) - area.x;
  const double dy = frame.y(j) - area.y;
  const double distance = std::sqrt(dx * dx + dy * dy);
  int r = 0;
  while (r + 1 < kRingCount && distance > survey.rings[r].outer) ++r;
  ++survey.rings[r].cells;
  ++survey.rings[r].classCells[k];
}

// What the cells of one line add to the survey.
struct LineFigures {
  std::uint64_t steeper[kMostThresholds] = {};
  std::uint64_t ties[kMostThresholds] = {};
  double max = 0.0;
};

// Classifies cells first .. last of a row by N thresholds: each cell's class plus one into
// `line` (cell j at j - 1), the counts into `figures`. One version for each count of
// thresholds, whose comparisons the compiler unrolls.
template <int N>
void classifyLine(const GridCell* row, std::int64_t first, std::int64_t last,
                  const double* thresholds, std::uint8_t* line, LineFigures& figures) {
  std::uint64_t steeper[N] = {};
  std::uint64_t ties[N] = {};
  double max = row[first].slope;
  for (std::int64_t j = first; j <= last; ++j) {
    const double slope = row[j].slope;
    unsigned k = 1;
    for (int t = 0; t < N; ++t) {
      k += slope > thresholds[t];
      steeper[t] += slope > thresholds[t];
      ties[t] += slope == thresholds[t];
    }
    line[j - 1] = static_cast<std::uint8_t>(k);
    max = slope > max ? slope : max;
  }
  for (int t = 0; t < N; ++t) {
    figures.steeper[t] = steeper[t];
    figures.ties[t] = ties[t];
  }
  figures.max = max;
}

}  // namespace

bool surveySlopes(const TerrainGrid& grid, const Frame& frame, const Thresholds& thresholds,
                  const Circle& area, SurveyDetail detail, Survey& survey, ClassMap& classes) {
  survey = Survey();
  const bool full = detail == SurveyDetail::Full;
  std::vector<std::uint64_t> histogram;
  try {
    classes.alongI = grid.ni - 2;
    classes.alongJ = grid.nj - 2;
    classes.cells.assign(
        static_cast<std::size_t>(classes.alongI) * static_cast<std::size_t>(classes.alongJ),
        kOutsideArea);
    if (full) histogram.assign(kBins, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  survey.ringCount = area.given && full ? kRingCount : 0;
  for (int r = 0; r < survey.ringCount; ++r) {
    // (Divided first, so that no bound of a radius near the largest double overflows.)
    survey.rings[r].inner = area.radius / kRingCount * r;
    survey.rings[r].outer = area.radius / kRingCount * (r + 1);
  }
  std::uint64_t steeper[kMostThresholds] = {};
  std::uint64_t ties[kMostThresholds] = {};
  // The heights: of every point of the grid, or, with an area, of the points in it.
  survey.lowest = HUGE_VAL;
  survey.highest = -HUGE_VAL;
  if (!area.given) {
    widenHeightRange(grid.rows[0], grid.nj, survey.lowest, survey.highest);
    widenHeightRange(grid.rows[grid.ni - 1], grid.nj, survey.lowest, survey.highest);
  }
  for (std::int64_t i = 1; i + 1 < grid.ni; ++i) {
    const GridCell* const row = grid.rows[i];
    const Span span = areaSpan(grid, frame, area, i);
    if (!area.given) {
      widenHeightRange(row, grid.nj, survey.lowest, survey.highest);
    } else if (span.first <= span.last) {
      widenHeightRange(row + span.first, span.last - span.first + 1, survey.lowest, survey.highest);
    }
    if (span.first > span.last) continue;
    std::uint8_t* const line = classes.line(i);
    LineFigures figures;
    switch (thresholds.count) {
      case 1:
        classifyLine<1>(row, span.first, span.last, thresholds.values, line, figures);
        break;
      case 2:
        classifyLine<2>(row, span.first, span.last, thresholds.values, line, figures);
        break;
      case 3:
        classifyLine<3>(row, span.first, span.last, thresholds.values, line, figures);
        break;
      default:
        classifyLine<kMostThresholds>(row, span.first, span.last, thresholds.values, line, figures);
        break;
    }
    for (int t = 0; t < thresholds.count; ++t) {
      steeper[t] += figures.steeper[t];
      ties[t] += figures.ties[t];
    }
    if (full) {
      for (std::int64_t j = span.first; j <= span.last; ++j) {
        ++histogram[bitsOf(row[j].slope) >> kBinShift];
      }
    }
    if (survey.ringCount > 0) {
      for (std::int64_t j = span.first; j <= span.last; ++j) {
        countInRing(frame, area, i, j, line[j - 1] - 1, survey);
      }
    }
    const double rowMax = figures.max;
    survey.cells += static_cast<std::uint64_t>(span.last - span.first + 1);
    // The maximum (slopes are never NaN): its first cell scanning i, then j, and how many
    // cells share it.
    if (survey.maxCells == 0 || rowMax > survey.maxSlope) {
      survey.maxSlope = rowMax;
      survey.maxCells = 0;
      survey.maxI = i;
      survey.maxJ = span.first;
      while (row[survey.maxJ].slope != rowMax) ++survey.maxJ;
    }
    if (rowMax == survey.maxSlope) {
      for (std::int64_t j = span.first; j <= span.last; ++j)
        survey.maxCells += row[j].slope == rowMax;
    }
  }
  std::uint64_t notSteeper = survey.cells;
  for (int t = 0; t < thresholds.count; ++t) {
    survey.classCells[t] = notSteeper - steeper[t];
    survey.ties[t] = ties[t];
    notSteeper = steeper[t];
  }
  survey.classCells[thresholds.count] = notSteeper;
  if (survey.cells > 0) {
    survey.maxAlong = gradientAlong(grid, frame.delta, survey.maxI, survey.maxJ, survey.maxSlope);
  }
  return !full || findPercentiles(grid, frame, area, histogram, survey);
}

}  // namespace trasop
