// Fuzz target: arbitrary bytes through the whole run in memory (reading, slopes, writing the
// slope file to a scratch file), plus the two number printers against each other and against
// the reference written another way.
//
// The input's last bytes also choose how it is read: the chunk size (1 byte to 64 KiB), so that
// seams fall anywhere, and whether its size is known (a file) or not (a pipe), so that both
// ways of reading the data section are taken.
//
// Grids stay small without a cap of their own: a grid is only allocated when the input can
// hold all its values (two bytes a value), or, with its size unknown, once they have all been
// read, so an input of at most N bytes never makes more than N / 2 cells.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "dmna/dmna_reader_steps.h"
#include "dmna/dmna_writer.h"
#include "dmna/number_format.h"
#include "dmna/number_scan.h"
#include "platform/file_info.h"
#include "terrain/slope.h"
#include "tests/reference_format.h"

namespace {

using namespace trasop;

void checkPrinters(double value) {
  char fast[kFixedTextCapacity + 8];
  char exact[kFixedTextCapacity + 8];
  const char* fastEnd = formatSlopeField(value, fast);
  const char* exactEnd = formatFixed(value, 2, exact);
  const std::size_t fastLength = static_cast<std::size_t>(fastEnd - fast);
  const std::size_t exactLength = static_cast<std::size_t>(exactEnd - exact);
  const std::size_t pad = exactLength < 5 ? 5 - exactLength : 0;
  if (fastLength != exactLength + pad || std::memcmp(fast + pad, exact, exactLength) != 0) {
    std::fprintf(stderr, "slope field and exact rule disagree on %a\n", value);
    std::abort();
  }
  if (referenceFixed2(value) != std::string_view(exact, exactLength)) {
    std::fprintf(stderr, "exact rule and reference disagree on %a\n", value);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  if (size >= sizeof(double)) {
    double value;
    std::memcpy(&value, data, sizeof value);
    checkPrinters(value);
    checkPrinters(std::fabs(value));
  }
  checkPrinters(scanNumber(text.data(), text.data() + text.size()));

  std::size_t chunkSize = TextReader::kDefaultChunkSize;
  bool sizeKnown = true;
  if (size >= 3) {
    chunkSize = 1 + ((std::size_t{data[size - 2]} << 8 | data[size - 1]) % 65536);
    sizeKnown = (data[size - 3] & 1) == 0;
  }
  TextReader in(text, sizeKnown ? text.size() : kUnknownFileSize, chunkSize);
  GridHeader header;
  IndexOrder order;
  TerrainGrid grid;
  if (readDmna(in, header, order, grid) == Ok) {
    computeSlopes(grid, header.delta);
    for (int i = 0; i < grid.ni; ++i) {
      for (int j = 0; j < grid.nj; ++j) {
        if (!(grid.rows[i][j].slope >= 0.0)) std::abort();  // never negative, never NaN
      }
    }
    static std::FILE* const sink = std::tmpfile();
    if (sink != nullptr) {
      std::rewind(sink);
      if (!writeSlopeText(sink, header, order, grid)) std::abort();
    }
  }
  releaseGrid(grid);
  return 0;
}
