// The data section of a dmna file: one value per grid point, in the order of the header.
#include "dmna/dmna_reader.h"
#include "dmna/number_scan.h"

namespace trasop {

namespace {

// First position of an index that runs with `step` over `count` positions.
int firstIndex(int step, int count) { return step > 0 ? 0 : count - 1; }

bool readValue(TextReader& in, GridCell& cell) {
  std::string_view token;
  if (!in.readToken(token)) return false;
  cell.height = scanNumber(token.data(), token.data() + token.size());
  return true;
}

}  // namespace

ResultCode readGridValues(TextReader& in, const IndexOrder& order, TerrainGrid& grid) {
  const int ni = grid.ni;
  const int nj = grid.nj;
  const int di = order.iStep;
  const int dj = order.jStep;
  if (order.outer == Outer::IOuter) {
    for (int i = firstIndex(di, ni); i >= 0 && i < ni; i += di) {
      GridCell* const row = grid.rows[i];
      for (int j = firstIndex(dj, nj); j >= 0 && j < nj; j += dj) {
        if (!readValue(in, row[j])) return CannotRead;
      }
    }
  } else {
    for (int j = firstIndex(dj, nj); j >= 0 && j < nj; j += dj) {
      for (int i = firstIndex(di, ni); i >= 0 && i < ni; i += di) {
        if (!readValue(in, grid.rows[i][j])) return CannotRead;
      }
    }
  }
  return in.failed() ? CannotRead : Ok;
}

}  // namespace trasop
