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
    // The heights left and right of a cell are carried along from cell to cell, so that each
    // is read once. This also keeps the loop plain: a vectorised form, whose wide loads overlap
    // the slopes just stored, measured twice as slow.
    double left = row[0].height;
    double here = row[1].height;
    for (int j = 1; j + 1 < grid.nj; ++j) {
      const double right = row[j + 1].height;
      // Each gradient is kept only when it is greater than what the cell holds: a NaN
      // difference (inf - inf) never wins. Written as selections, which compile to max
      // instructions with exactly these semantics instead of branches that the data makes
      // unpredictable.
      const double gx = std::fabs(above[j].height - below[j].height) * k;
      const double gy = std::fabs(left - right) * k;
      double slope = row[j].slope;
      slope = gx > slope ? gx : slope;
      slope = gy > slope ? gy : slope;
      row[j].slope = slope;
      left = here;
      here = right;
    }
  }
}

}  // namespace trasop
