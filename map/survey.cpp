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

// The interior cells of line i whose points lie in `area`. Along a line x stays and y grows
// with j, so the distance to the centre falls and then rises, and the cells in the circle are
// one run; it is found by halving, with the very test a single point is judged by.
Span areaSpan(const TerrainGrid& grid, const Frame& frame, const Circle& area, std::int64_t i) {
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

// The slopes of one bin of the histogram, counted by value while they take few values (as
// the slopes of heights given in decimetres do), else kept one by one.
class BinSlopes {
 public:
  void add(double slope) {
    if (!counting_) {
      kept_.push_back(slope);
      return;
    }
    Entry& entry = slotOf(bitsOf(slope));
    if (entry.count == 0) {
      if (used_ == kMostValues) {
        keepOneByOne();
        kept_.push_back(slope);
        return;
      }
      entry.bits = bitsOf(slope);
      ++used_;
    }
    ++entry.count;
  }

  // The slope of `rank` (from 0) among those added.
  double nth(std::uint64_t rank) {
    if (!counting_) {
      const auto nth = kept_.begin() + static_cast<std::ptrdiff_t>(rank);
      std::nth_element(kept_.begin(), nth, kept_.end());
      return *nth;
    }
    std::vector<Entry> entries;
    for (const Entry& entry : table_) {
      if (entry.count > 0) entries.push_back(entry);
    }
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.bits < b.bits; });
    std::size_t at = 0;
    while (rank >= entries[at].count) rank -= entries[at++].count;
    double slope = 0.0;
    std::memcpy(&slope, &entries[at].bits, sizeof slope);
    return slope;
  }

 private:
  struct Entry {
    std::uint64_t bits;
    std::uint64_t count;  // 0: a free slot
  };
  static constexpr std::size_t kMostValues = 512;  // at most half the table full

  // The slot of `bits` in the table (open addressing): the one that holds it, or the free one
  // where it goes.
  Entry& slotOf(std::uint64_t bits) {
    constexpr std::size_t kMask = 2 * kMostValues - 1;
    std::size_t at = static_cast<std::size_t>((bits * 0x9E3779B97F4A7C15u) >> 40) & kMask;
    while (table_[at].count > 0 && table_[at].bits != bits) at = (at + 1) & kMask;
    return table_[at];
  }

  void keepOneByOne() {
    for (const Entry& entry : table_) {
      double slope = 0.0;
      std::memcpy(&slope, &entry.bits, sizeof slope);
      kept_.insert(kept_.end(), entry.count, slope);
    }
    counting_ = false;
    std::vector<Entry>().swap(table_);
  }

  std::vector<Entry> table_ = std::vector<Entry>(2 * kMostValues, Entry{0, 0});
  std::size_t used_ = 0;
  bool counting_ = true;
  std::vector<double> kept_;
};

// The slopes at the percentiles' ranks (nearest rank: the smallest slope that at least p % of
// the cells do not exceed). `histogram` counts the slopes by their leading bits; the slopes of
// the bins where the ranks fall are gathered in a second pass.
bool findPercentiles(const TerrainGrid& grid, const Frame& frame, const Circle& area,
                     const std::vector<std::uint64_t>& histogram, Survey& survey) {
  if (survey.cells == 0) return true;
  std::size_t bins[kPercentileCount] = {};  // the bins of the ranks, each once, ascending
  int binCount = 0;
  int binOf[kPercentileCount] = {};
  std::uint64_t rankInBin[kPercentileCount] = {};
  std::size_t bin = 0;
  std::uint64_t below = 0;
  for (int k = 0; k < kPercentileCount; ++k) {  // the ranks ascend, and so do their bins
    const std::uint64_t rank =
        (static_cast<std::uint64_t>(kPercentiles[k]) * survey.cells + 99) / 100 - 1;
    while (below + histogram[bin] <= rank) below += histogram[bin++];
    if (binCount == 0 || bins[binCount - 1] != bin) bins[binCount++] = bin;
    binOf[k] = binCount - 1;
    rankInBin[k] = rank - below;
  }
  try {
    BinSlopes gathered[kPercentileCount];
    // Each bin's place in `gathered` plus one, 0 for the bins of no rank.
    std::vector<std::uint8_t> slotOfBin(histogram.size(), 0);
    for (int b = 0; b < binCount; ++b) slotOfBin[bins[b]] = static_cast<std::uint8_t>(b + 1);
    std::vector<double> pickedSlopes(static_cast<std::size_t>(grid.nj));
    std::vector<std::uint8_t> pickedSlots(static_cast<std::size_t>(grid.nj));
    for (std::int64_t i = 1; i + 1 < grid.ni; ++i) {
      const GridCell* const row = grid.rows[i];
      const Span span = areaSpan(grid, frame, area, i);
      // The line's slopes of those bins are first picked out without a branch, which the
      // slopes' order would make hard to foresee, then added.
      std::size_t picked = 0;
      for (std::int64_t j = span.first; j <= span.last; ++j) {
        const double slope = row[j].slope;
        const std::uint8_t slot = slotOfBin[bitsOf(slope) >> kBinShift];
        pickedSlopes[picked] = slope;
        pickedSlots[picked] = slot;
        picked += slot > 0;
      }
      for (std::size_t p = 0; p < picked; ++p) gathered[pickedSlots[p] - 1].add(pickedSlopes[p]);
    }
    for (int k = 0; k < kPercentileCount; ++k) {
      survey.percentiles[k] = gathered[binOf[k]].nth(rankInBin[k]);
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
                  const Circle& area, Survey& survey, ClassMap& classes) {
  survey = Survey();
  std::vector<std::uint64_t> histogram;
  try {
    classes.alongI = grid.ni - 2;
    classes.alongJ = grid.nj - 2;
    classes.cells.assign(
        static_cast<std::size_t>(classes.alongI) * static_cast<std::size_t>(classes.alongJ),
        kOutsideArea);
    histogram.assign(kBins, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  survey.ringCount = area.given ? kRingCount : 0;
  for (int r = 0; r < survey.ringCount; ++r) {
    survey.rings[r].inner = area.radius * r / kRingCount;
    survey.rings[r].outer = area.radius * (r + 1) / kRingCount;
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
      widenHeightRange(row + span.first, span.last - span.first + 1, survey.lowest,
                       survey.highest);
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
    for (std::int64_t j = span.first; j <= span.last; ++j) {
      ++histogram[bitsOf(row[j].slope) >> kBinShift];
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
  return findPercentiles(grid, frame, area, histogram, survey);
}

}  // namespace trasop
