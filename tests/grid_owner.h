// Test support: a grid owned by one test.
#pragma once

#include <gtest/gtest.h>

#include "grid/grid.h"
#include "tests/result_code_printer.h"

namespace trasop {

// Owns a grid for one test.
struct Grid {
  Grid(int ni, int nj) { EXPECT_EQ(Ok, allocateGrid(grid, ni, nj)); }
  ~Grid() { releaseGrid(grid); }
  double& height(int i, int j) { return grid.rows[i][j].height; }
  double slope(int i, int j) const { return grid.rows[i][j].slope; }
  TerrainGrid grid;
};

}  // namespace trasop
