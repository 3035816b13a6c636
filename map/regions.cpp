#include "map/regions.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

namespace trasop {

namespace {

constexpr std::uint32_t kNone = 0;  // label of a cell in no region

// Adds a region that no line reaches any more to the summary. The largest are kept in order:
// by cells, then the steeper, then the first found.
void summarise(const Region& region, RegionSummary& summary) {
  ++summary.count;
  summary.singles += region.cells == 1;
  auto before = [&region](const Region& other) {
    if (region.cells != other.cells) return region.cells > other.cells;
    if (region.maxSlope != other.maxSlope) return region.maxSlope > other.maxSlope;
    return region.found < other.found;
  };
  int at = summary.largestCount;
  while (at > 0 && before(summary.largest[at - 1])) --at;
  if (at >= kLargestRegions) return;
  const int last = std::min(summary.largestCount, kLargestRegions - 1);
  for (int k = last; k > at; --k) summary.largest[k] = summary.largest[k - 1];
  summary.largest[at] = region;
  summary.largestCount = std::min(summary.largestCount + 1, kLargestRegions);
}

// The regions that the last line reaches, with their figures; a region merged into another
// points to it. Labels go back to a free list once no line holds them.
class Regions {
 public:
  Regions() {
    regions_.emplace_back();  // label 0: no region
    parent_.push_back(kNone);
  }

  std::uint32_t open(std::int64_t i, std::int64_t j, double slope) {
    Region region;
    region.cells = 1;
    region.iMin = region.iMax = region.maxI = i;
    region.jMin = region.jMax = region.maxJ = j;
    region.sumI = static_cast<std::uint64_t>(i);
    region.sumJ = static_cast<std::uint64_t>(j);
    region.maxSlope = slope;
    region.found = found_++;
    std::uint32_t label = 0;
    if (free_.empty()) {
      label = static_cast<std::uint32_t>(parent_.size());
      regions_.push_back(region);
      parent_.push_back(label);
      seen_.push_back(false);
    } else {
      label = free_.back();
      free_.pop_back();
      regions_[label] = region;
      parent_[label] = label;
    }
    live_.push_back(label);
    return label;
  }

  std::uint32_t root(std::uint32_t label) {
    while (parent_[label] != label) label = parent_[label] = parent_[parent_[label]];
    return label;
  }

  void add(std::uint32_t label, std::int64_t i, std::int64_t j, double slope) {
    Region& region = regions_[label];
    ++region.cells;
    region.iMax = std::max(region.iMax, i);
    region.jMin = std::min(region.jMin, j);
    region.jMax = std::max(region.jMax, j);
    region.sumI += static_cast<std::uint64_t>(i);
    region.sumJ += static_cast<std::uint64_t>(j);
    if (slope > region.maxSlope) {
      region.maxSlope = slope;
      region.maxI = i;
      region.maxJ = j;
    }
  }

  // One region of the two (roots), the figures of both; returns its root.
  std::uint32_t join(std::uint32_t a, std::uint32_t b) {
    if (a == b) return a;
    if (regions_[b].found < regions_[a].found) std::swap(a, b);
    Region& into = regions_[a];
    const Region& from = regions_[b];
    into.cells += from.cells;
    into.iMin = std::min(into.iMin, from.iMin);
    into.iMax = std::max(into.iMax, from.iMax);
    into.jMin = std::min(into.jMin, from.jMin);
    into.jMax = std::max(into.jMax, from.jMax);
    into.sumI += from.sumI;
    into.sumJ += from.sumJ;
    // The first steepest cell in scanning order (i, then j) wins a tie.
    if (from.maxSlope > into.maxSlope ||
        (from.maxSlope == into.maxSlope &&
         (from.maxI < into.maxI || (from.maxI == into.maxI && from.maxJ < into.maxJ)))) {
      into.maxSlope = from.maxSlope;
      into.maxI = from.maxI;
      into.maxJ = from.maxJ;
    }
    parent_[b] = a;
    return a;
  }

  // After a line: its labels become their roots; the regions it does not reach are complete
  // and summed up, and every label that the line no longer holds goes back to the free list.
  void endLine(std::vector<std::uint32_t>& line, RegionSummary& summary) {
    for (std::uint32_t& label : line) {
      if (label == kNone) continue;
      label = root(label);
      seen_[label] = true;
    }
    std::size_t kept = 0;
    for (const std::uint32_t label : live_) {
      if (seen_[label]) {
        seen_[label] = false;
        live_[kept++] = label;
        continue;
      }
      if (parent_[label] == label) summarise(regions_[label], summary);
      free_.push_back(label);
    }
    live_.resize(kept);
  }

 private:
  std::vector<Region> regions_;
  std::vector<std::uint32_t> parent_;
  std::vector<bool> seen_ = std::vector<bool>(1, false);  // by label, within endLine
  std::vector<std::uint32_t> live_;                       // the labels in use
  std::vector<std::uint32_t> free_;
  std::uint64_t found_ = 0;
};

}  // namespace

bool findRegions(const TerrainGrid& grid, const ClassMap& classes, int threshold,
                 RegionSummary& summary) {
  summary = RegionSummary();
  // A cell's entry is its class plus one, kOutsideArea (0) outside the area.
  const std::uint8_t steeper = static_cast<std::uint8_t>(threshold + 2);
  try {
    Regions regions;
    // The labels of the line before (i - 1) and of this one, with a cell of margin each side
    // that stays kNone: cell (i, j) is at j. Every cell of a line is written.
    const std::size_t width = static_cast<std::size_t>(classes.alongJ) + 2;
    std::vector<std::uint32_t> before(width, kNone);
    std::vector<std::uint32_t> here(width, kNone);
    for (std::int64_t i = 1; i <= classes.alongI; ++i) {
      const std::uint8_t* const line = classes.line(i);
      for (std::int64_t j = 1; j <= classes.alongJ; ++j) {
        const std::size_t at = static_cast<std::size_t>(j);
        if (line[j - 1] < steeper) {
          here[at] = kNone;
          continue;
        }
        const double slope = grid.rows[i][j].slope;
        std::uint32_t label = kNone;
        for (const std::uint32_t touching :
             {here[at - 1], before[at - 1], before[at], before[at + 1]}) {
          if (touching == kNone) continue;
          const std::uint32_t root = regions.root(touching);
          label = label == kNone ? root : regions.join(label, root);
        }
        if (label == kNone) {
          label = regions.open(i, j, slope);
        } else {
          regions.add(label, i, j, slope);
        }
        here[at] = label;
      }
      regions.endLine(here, summary);
      std::swap(before, here);
    }
    std::fill(here.begin(), here.end(), kNone);  // after the last line: every region is complete
    regions.endLine(here, summary);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

}  // namespace trasop
