// The data section of a dmna file: one value per grid point, in the order of the header.
#include <algorithm>
#include <cstddef>
#include <memory>
#include <new>

#include "dmna/dmna_reader_steps.h"

namespace trasop {

namespace {

// Lines of values gathered before they are spread over the grid's rows (see below).
constexpr int kBandLines = 16;

// First position of an index that runs with `step` over `count` positions.
int firstIndex(int step, int count) { return step > 0 ? 0 : count - 1; }

// Values whose lines run along the grid's rows (i in the outer loop) go straight into place.
ResultCode readAlongRows(TextReader& in, const IndexOrder& order, TerrainGrid& grid) {
  for (int i = firstIndex(order.iStep, grid.ni); i >= 0 && i < grid.ni; i += order.iStep) {
    GridCell* const row = grid.rows[i];
    for (int j = firstIndex(order.jStep, grid.nj); j >= 0 && j < grid.nj; j += order.jStep) {
      if (!in.readNumber(row[j].height)) return CannotRead;
    }
  }
  return Ok;
}

// Lines that run across the rows (j in the outer loop) would put each value into another row.
// A band of lines is gathered first and then written row by row, so that each row is visited
// once per band instead of once per value.
ResultCode readAcrossRows(TextReader& in, const IndexOrder& order, TerrainGrid& grid) {
  const int ni = grid.ni;
  const int nj = grid.nj;
  const int iFirst = firstIndex(order.iStep, ni);
  const int jFirst = firstIndex(order.jStep, nj);
  std::unique_ptr<double[]> band(
      new (std::nothrow) double[static_cast<std::size_t>(kBandLines) * ni]);
  if (!band) return OutOfMemory;
  for (int line = 0; line < nj; line += kBandLines) {
    const int lines = std::min(kBandLines, nj - line);
    for (int b = 0; b < lines; ++b) {
      double* const values = band.get() + static_cast<std::size_t>(b) * ni;
      for (int x = 0; x < ni; ++x) {
        if (!in.readNumber(values[x])) return CannotRead;
      }
    }
    for (int x = 0; x < ni; ++x) {
      GridCell* const row = grid.rows[iFirst + x * order.iStep];
      int j = jFirst + line * order.jStep;
      for (int b = 0; b < lines; ++b, j += order.jStep) {
        row[j].height = band[static_cast<std::size_t>(b) * ni + x];
      }
    }
  }
  return Ok;
}

}  // namespace

ResultCode readGridValues(TextReader& in, const IndexOrder& order, TerrainGrid& grid) {
  const ResultCode result = order.outer == Outer::IOuter ? readAlongRows(in, order, grid)
                                                         : readAcrossRows(in, order, grid);
  if (result != Ok) return result;
  return in.failed() ? CannotRead : Ok;
}

}  // namespace trasop
