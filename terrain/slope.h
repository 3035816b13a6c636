// The terrain slope of every interior grid point.
#pragma once

#include "grid/grid.h"

namespace trasop {

// For every cell with 1 <= i <= ni - 2 and 1 <= j <= nj - 2, sets `slope` to the larger of the
// two absolute central-difference gradients |h(i-1,j) - h(i+1,j)| * k and
// |h(i,j-1) - h(i,j+1)| * k, with k = 1 / (2 * delta) rounded once. Border cells keep their
// slope. A gradient that is not a number is never stored.
// REQUIRES: ni, nj >= 3, delta > 0, every slope 0.0 (as allocated).
void computeSlopes(TerrainGrid& grid, double delta);

}  // namespace trasop
