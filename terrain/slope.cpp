#include "terrain/slope.h"

#include <cmath>

namespace trasop {

void computeSlopes(TerrainGrid& grid, double delta) {
  const double twoDelta = 2.0 * delta;
  const double k = 1.0 / twoDelta;
  // Each cell depends on the heights alone, so the grid is walked along its rows, the way it
  // lies in memory.
  for (int i = 1; i + 1 < grid.ni; ++i) {
    const GridCell* const above = grid.rows[i - 1];
    GridCell* const row = grid.rows[i];
    const GridCell* const below = grid.rows[i + 1];
    for (int j = 1; j + 1 < grid.nj; ++j) {
      // Each gradient is kept only when it is greater than what the cell holds: a NaN
      // difference (inf - inf) never wins. Written as selections, which compile to max
      // instructions with exactly these semantics instead of branches that the data makes
      // unpredictable.
      const double gx = std::fabs(above[j].height - below[j].height) * k;
      const double gy = std::fabs(row[j - 1].height - row[j + 1].height) * k;
      double slope = row[j].slope;
      slope = gx > slope ? gx : slope;
      slope = gy > slope ? gy : slope;
      row[j].slope = slope;
    }
  }
}

}  // namespace trasop
