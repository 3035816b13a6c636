#include "map/relief.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <new>
#include <vector>

#include "grid/grid.h"

namespace trasop {

bool reliefOf(const TerrainGrid& grid, std::int64_t block, double delta, Relief& relief) {
  const std::int64_t cellsWide = grid.ni - 2;
  const std::int64_t cellsHigh = grid.nj - 2;
  relief.block = block;
  relief.wide = static_cast<int>((cellsWide + block - 1) / block);
  relief.high = static_cast<int>((cellsHigh + block - 1) / block);
  relief.spacing = static_cast<double>(block) * delta;
  try {
    std::vector<double> sums(static_cast<std::size_t>(relief.wide) * relief.high, 0.0);
    relief.heights.assign(sums.size(), 0.0F);
    for (std::int64_t i = 1; i <= cellsWide; ++i) {
      const GridCell* const row = grid.rows[i];
      double* const column = sums.data() + (i - 1) / block;
      // Node row 0 is the northmost: j = cellsHigh down to cellsHigh - block + 1.
      std::int64_t j = cellsHigh;
      for (int line = 0; line < relief.high; ++line) {
        double sum = 0.0;
        for (const std::int64_t end = std::max<std::int64_t>(j - block, 0); j > end; --j) {
          sum += row[j].height;
        }
        column[static_cast<std::size_t>(line) * static_cast<std::size_t>(relief.wide)] += sum;
      }
    }
    relief.lowest = 0.0F;
    relief.highest = 0.0F;
    for (int line = 0; line < relief.high; ++line) {
      const std::int64_t rows = std::min<std::int64_t>(block, cellsHigh - line * block);
      for (int column = 0; column < relief.wide; ++column) {
        const std::int64_t columns = std::min<std::int64_t>(block, cellsWide - column * block);
        const std::size_t at = static_cast<std::size_t>(line) * relief.wide + column;
        const auto mean = static_cast<float>(sums[at] / static_cast<double>(rows * columns));
        relief.heights[at] = mean;
        if (at == 0 || mean < relief.lowest) relief.lowest = mean;
        if (at == 0 || mean > relief.highest) relief.highest = mean;
      }
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

namespace {

// The light: (-1/2, 1/2, 1/sqrt 2), from the north-west and 45 degrees high; the normal:
// (-alongX, -alongY, 1) over its length. Flat ground gets 1/sqrt 2.
constexpr double kHigh = 0.70710678118654752;
constexpr double kExaggeration = 3.0;

double shadeOf(double alongX, double alongY) {
  const double facing =
      (0.5 * alongX - 0.5 * alongY + kHigh) / std::sqrt(1.0 + alongX * alongX + alongY * alongY);
  return std::min(1.0, std::max(-1.0, 2.0 * (facing - kHigh)));
}

}  // namespace

void shadeRow(const Relief& relief, int row, double* shades) {
  // Differences over two nodes, over one at the edges.
  const int north = std::max(row - 1, 0);
  const int south = std::min(row + 1, relief.high - 1);
  const float* const here = &relief.heights[static_cast<std::size_t>(row) * relief.wide];
  const float* const up = &relief.heights[static_cast<std::size_t>(north) * relief.wide];
  const float* const down = &relief.heights[static_cast<std::size_t>(south) * relief.wide];
  // The heights exaggerated kExaggeration times, so that the gentle slopes the figures are
  // about still show their lie.
  const double unit = relief.spacing / kExaggeration;
  const double acrossY = south > north ? 1.0 / ((south - north) * unit) : 0.0;
  const double twoNodes = 1.0 / (2 * unit);
  const int last = relief.wide - 1;
  for (int column = 0; column <= last; ++column) {
    const double alongY = (static_cast<double>(up[column]) - down[column]) * acrossY;
    double alongX = 0.0;
    if (column > 0 && column < last) {
      alongX = (static_cast<double>(here[column + 1]) - here[column - 1]) * twoNodes;
    } else if (last > 0) {
      alongX = column == 0 ? (static_cast<double>(here[1]) - here[0]) / unit
                           : (static_cast<double>(here[last]) - here[last - 1]) / unit;
    }
    shades[column] = shadeOf(alongX, alongY);
  }
}

bool ContourLevels::index(int k) const {
  const double fifth = (first + k * step) / (5.0 * step);
  return std::abs(fifth - std::floor(fifth + 0.5)) < 1e-6;
}

ContourLevels contourLevels(const Relief& relief, double step) {
  ContourLevels levels;
  const double range = static_cast<double>(relief.highest) - relief.lowest;
  if (!(range > 0) || !std::isfinite(range)) return levels;
  if (!(step > 0)) {
    // 1, 2 or 5 times a power of ten, about a fifteenth of the range.
    const double wanted = range / 15.0;
    double power = 1.0;
    while (power > wanted) power /= 10.0;
    while (power * 10.0 <= wanted) power *= 10.0;
    step = wanted <= power       ? power
           : wanted <= 2 * power ? 2 * power
           : wanted <= 5 * power ? 5 * power
                                 : 10 * power;
  }
  const double first = std::ceil(relief.lowest / step);
  const double last = std::floor(relief.highest / step);
  if (!(last >= first) || last - first >= kMostContours) return levels;
  levels.first = first * step;
  levels.step = step;
  levels.count = static_cast<int>(last - first) + 1;
  return levels;
}

namespace {

// The pieces of the contour at `level` in the cell whose top left node is (column, row), its
// corners' heights h (top left, top right, bottom right, bottom left). Marching squares: a
// corner exactly at the level counts as above it.
template <typename Segment>
void cellPieces(const double h[4], double level, int column, int row, Segment segment) {
  const int corners = (h[0] >= level ? 1 : 0) | (h[1] >= level ? 2 : 0) | (h[2] >= level ? 4 : 0) |
                      (h[3] >= level ? 8 : 0);
  if (corners == 0 || corners == 15) return;
  // The crossing on edge e (0 top, 1 right, 2 bottom, 3 left), from corner e to corner e + 1.
  static const double kCornerX[4] = {0, 1, 1, 0};
  static const double kCornerY[4] = {0, 0, 1, 1};
  double x[4] = {};
  double y[4] = {};
  int crossed[4] = {};
  int count = 0;
  for (int e = 0; e < 4; ++e) {
    const int a = e;
    const int b = (e + 1) % 4;
    if (((corners >> a) & 1) == ((corners >> b) & 1)) continue;
    const double t = (level - h[a]) / (h[b] - h[a]);
    x[e] = column + kCornerX[a] + t * (kCornerX[b] - kCornerX[a]);
    y[e] = row + kCornerY[a] + t * (kCornerY[b] - kCornerY[a]);
    crossed[count++] = e;
  }
  if (count == 2) {
    segment(x[crossed[0]], y[crossed[0]], x[crossed[1]], y[crossed[1]]);
    return;
  }
  // A saddle: the corners on the side of the cell's mean are joined through its middle, so
  // that the two pieces do not cross.
  const double mean = (h[0] + h[1] + h[2] + h[3]) / 4;
  if ((mean >= level) == ((corners & 1) != 0)) {
    segment(x[0], y[0], x[1], y[1]);
    segment(x[2], y[2], x[3], y[3]);
  } else {
    segment(x[3], y[3], x[0], y[0]);
    segment(x[1], y[1], x[2], y[2]);
  }
}

}  // namespace

void contourPieces(const Relief& relief, const ContourLevels& levels, int fromRow, int toRow,
                   const std::function<void(int, double, double, double, double)>& segment) {
  if (levels.count == 0) return;
  // For each node, how many levels lie at or below its height (up to one off where a height
  // is within rounding of a level: the pieces themselves are found by exact comparisons).
  const auto levelsBelow = [&levels](double h) {
    const double k = std::floor((h - levels.first) / levels.step) + 1;
    return static_cast<int>(std::min(std::max(k, 0.0), static_cast<double>(levels.count)));
  };
  std::vector<int> above(static_cast<std::size_t>(relief.wide));
  std::vector<int> below(static_cast<std::size_t>(relief.wide));
  const int first = std::max(fromRow, 0);
  const int end = std::min(toRow, relief.high - 1);
  for (int column = 0; column < relief.wide && first < end; ++column) {
    above[static_cast<std::size_t>(column)] = levelsBelow(relief.at(column, first));
  }
  for (int row = first; row < end; ++row) {
    for (int column = 0; column < relief.wide; ++column) {
      below[static_cast<std::size_t>(column)] = levelsBelow(relief.at(column, row + 1));
    }
    for (int column = 0; column + 1 < relief.wide; ++column) {
      const auto c = static_cast<std::size_t>(column);
      const int fewest =
          std::min(std::min(above[c], above[c + 1]), std::min(below[c], below[c + 1]));
      const int most = std::max(std::max(above[c], above[c + 1]), std::max(below[c], below[c + 1]));
      if (fewest == most && (fewest == 0 || fewest == levels.count)) continue;
      const double h[4] = {relief.at(column, row), relief.at(column + 1, row),
                           relief.at(column + 1, row + 1), relief.at(column, row + 1)};
      for (int k = std::max(fewest - 1, 0); k <= std::min(most, levels.count - 1); ++k) {
        cellPieces(h, levels.first + k * levels.step, column, row,
                   [&](double x0, double y0, double x1, double y1) { segment(k, x0, y0, x1, y1); });
      }
    }
    above.swap(below);
  }
}

}  // namespace trasop
