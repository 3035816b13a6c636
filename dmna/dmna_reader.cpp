#include "dmna/dmna_reader.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <memory>
#include <string>

#include "app/console.h"
#include "dmna/dmna_reader_steps.h"
#include "platform/file_info.h"

namespace trasop {

namespace {

// The input is only read from: a failed close loses nothing.
struct FileCloser {
  void operator()(std::FILE* file) const { static_cast<void>(std::fclose(file)); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

bool fitsInt32(std::int64_t v) {
  return v >= std::numeric_limits<std::int32_t>::min() &&
         v <= std::numeric_limits<std::int32_t>::max();
}

// The number of points along each index, from the header's bounds. False when a bound lies
// outside 32 bits, or a count is below 3 or beyond 32 bits.
bool gridCounts(const GridHeader& header, std::int64_t& ni, std::int64_t& nj) {
  if (!fitsInt32(header.lowb.i) || !fitsInt32(header.lowb.j) || !fitsInt32(header.hghb.i) ||
      !fitsInt32(header.hghb.j)) {
    return false;
  }
  ni = header.hghb.i - header.lowb.i + 1;
  nj = header.hghb.j - header.lowb.j + 1;
  return ni > 2 && nj > 2 && fitsInt32(ni) && fitsInt32(nj);
}

}  // namespace

ResultCode readDmna(TextReader& in, GridHeader& header, IndexOrder& order, TerrainGrid& grid,
                    Pages pages) {
  const ResultCode headerRead = readHeader(in, header, order);
  if (headerRead != Ok) return headerRead;
  if (in.failed()) return CannotRead;
  if (order.outer == Outer::Unset) return BadSequ;
  if (!(header.delta > 0.0) || std::isinf(header.delta)) return BadDelta;
  std::int64_t ni = 0;
  std::int64_t nj = 0;
  if (!gridCounts(header, ni, nj)) return BadBounds;

  // A text of unknown size shows how many values it holds only by ending: its grid grows
  // with the values.
  if (in.remainingAtMost() == kUnknownFileSize) {
    return readIntoGrowingGrid(in, order, static_cast<std::int32_t>(ni),
                               static_cast<std::int32_t>(nj), grid);
  }
  // Every value takes at least one character and a blank before the next one. A data section
  // too small for that is short, whatever it holds, and the grid is not allocated for it.
  const std::uint64_t leastLength =
      2 * static_cast<std::uint64_t>(ni) * static_cast<std::uint64_t>(nj) - 1;
  if (in.remainingAtMost() < leastLength) return CannotRead;

  const ResultCode allocated =
      allocateGrid(grid, static_cast<std::int32_t>(ni), static_cast<std::int32_t>(nj),
                   order.outer == Outer::JOuter ? pages : Pages::Any);
  if (allocated != Ok) return allocated;
  return readGridValues(in, order, grid);
}

namespace {

ResultCode readNamedFile(const std::string& inputName, GridHeader& header, IndexOrder& order,
                         TerrainGrid& grid, bool announce) {
  // A folder opens as a file on some systems; it is no dmna file on any.
  if (isDirectory(inputName)) return CannotRead;
  const FilePtr file(std::fopen(inputName.c_str(), "rb"));
  if (!file) return CannotRead;

  if (announce) printMessage("\ndmna-Datei  %s  wird gelesen.\n", inputName.c_str());
  TextReader in(file.get(), regularFileSize(file.get()));
  // A sparse file's size promises values its holes do not hold: its grid takes small pages.
  return readDmna(in, header, order, grid, hasHoles(file.get()) ? Pages::SmallOnly : Pages::Any);
}

}  // namespace

ResultCode readDmnaFile(const std::string& inputName, GridHeader& header, IndexOrder& order,
                        TerrainGrid& grid) {
  return readNamedFile(inputName, header, order, grid, true);
}

ResultCode readDmnaFileQuietly(const std::string& inputName, GridHeader& header, IndexOrder& order,
                               TerrainGrid& grid) {
  return readNamedFile(inputName, header, order, grid, false);
}

}  // namespace trasop
