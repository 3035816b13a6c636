// Reading the data section into the heights of the grid.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <ios>
#include <string>
#include <vector>

#include "dmna/dmna_reader.h"
#include "dmna/dmna_reader_steps.h"
#include "platform/file_info.h"
#include "tests/grid_owner.h"
#include "tests/resident.h"

namespace trasop {
namespace {

IndexOrder orderOf(Outer outer, int iStep, int jStep) {
  IndexOrder order;
  order.outer = outer;
  order.iStep = iStep;
  order.jStep = jStep;
  return order;
}

struct FillCase {
  IndexOrder order;
  // Cells (i, j) as 10 * i + j, in the order the tokens 1, 2, 3, ... fill them.
  std::vector<int> cells;
};

TEST(ReadGridValues, FillsTheCellsInTheOrderOfTheHeader) {
  const FillCase cases[] = {
      {orderOf(Outer::JOuter, 1, -1), {2, 12, 22, 1, 11, 21, 0, 10, 20}},
      {orderOf(Outer::JOuter, 1, 1), {0, 10, 20, 1, 11, 21, 2, 12, 22}},
      {orderOf(Outer::JOuter, -1, 1), {20, 10, 0, 21, 11, 1, 22, 12, 2}},
      {orderOf(Outer::JOuter, -1, -1), {22, 12, 2, 21, 11, 1, 20, 10, 0}},
      {orderOf(Outer::IOuter, 1, 1), {0, 1, 2, 10, 11, 12, 20, 21, 22}},
      {orderOf(Outer::IOuter, 1, -1), {2, 1, 0, 12, 11, 10, 22, 21, 20}},
      {orderOf(Outer::IOuter, -1, 1), {20, 21, 22, 10, 11, 12, 0, 1, 2}},
      {orderOf(Outer::IOuter, -1, -1), {22, 21, 20, 12, 11, 10, 2, 1, 0}},
  };
  for (const FillCase& c : cases) {
    Grid g(3, 3);
    TextReader in("1 2 3\n4 5 6\n7 8 9\n");
    ASSERT_EQ(Ok, readGridValues(in, c.order, g.grid));
    for (std::size_t n = 0; n < c.cells.size(); ++n) {
      EXPECT_EQ(n + 1.0, g.height(c.cells[n] / 10, c.cells[n] % 10))
          << "outer " << static_cast<int>(c.order.outer) << " steps " << c.order.iStep << ' '
          << c.order.jStep << " token " << n + 1;
    }
  }
}

TEST(ReadGridValues, IgnoresLineStructureAndWhatFollowsTheValues) {
  const IndexOrder order = orderOf(Outer::IOuter, 1, 1);
  for (const char* text :
       {"1 2 3 4 5 6 7 8 9", "1\n2\n3\n4\n5\n6\n7\n8\n9\n***\n",
        "\t1 2\r\n3 4 5 6 7\n\n 8\f9 10 11", "1 2 3 4 5 6 7 8 9 garbage\0\x01"}) {
    Grid g(3, 3);
    TextReader in(text);
    ASSERT_EQ(Ok, readGridValues(in, order, g.grid)) << text;
    EXPECT_EQ(1.0, g.height(0, 0)) << text;
    EXPECT_EQ(5.0, g.height(1, 1)) << text;
    EXPECT_EQ(9.0, g.height(2, 2)) << text;
  }
}

TEST(ReadGridValues, ConvertsEveryTokenWithTheNumberSyntax) {
  Grid g(3, 3);
  TextReader in("-12 abc 1.5D2 1.0E+02 nan inf 2.5d1 0x1A .5e1");
  ASSERT_EQ(Ok, readGridValues(in, orderOf(Outer::IOuter, 1, 1), g.grid));
  const double expected[] = {-12.0, 0.0, 150.0, 100.0, 0.0, 0.0, 25.0, 0.0, 5.0};
  for (int n = 0; n < 9; ++n) EXPECT_EQ(expected[n], g.height(n / 3, n % 3)) << n;
}

TEST(ReadGridValues, ReportsAShortDataSection) {
  for (const char* text : {"", "***", "1 2 3 4 5 6 7 8", "1 2 3 4 5 6 7 8\x1a 9"}) {
    Grid g(3, 3);
    TextReader in(text);
    EXPECT_EQ(CannotRead, readGridValues(in, orderOf(Outer::JOuter, 1, -1), g.grid)) << text;
  }
}
#ifdef __linux__
// A data section that ends early takes about the memory of the values it held, whatever the
// order and the verdict on huge pages: read through a pipe (size unknown, the grid grows) and
// from a sparse file whose size promises the whole grid (reserved at once). Measured with the
// grid still held, after its first band of lines has gone in (300 lines) and before (16).
TEST(ReadGridValues, TakesTheMemoryOfTheValuesReadInEveryOrder) {
  constexpr std::int32_t ni = 16384;
  constexpr std::int32_t nj = 4096;
  const std::string sparse = ::testing::TempDir() + "trasop_sparse.dmna";
  for (const int lines : {16, 300}) {
    for (const char* sequ : {"j-,i+", "i+,j-"}) {
      // Lines of ni values, along j where i is the outer index.
      const bool jFirst = sequ[0] == 'j';
      std::string text = std::string("sequ \"") + sequ + "\"\ndelta 1\nlowb 0 0\nhghb " +
                         std::to_string((jFirst ? ni : nj) - 1) + " " +
                         std::to_string((jFirst ? nj : ni) - 1) + "\n*\n";
      for (int n = 0; n < lines * ni; ++n) text += "1 ";
      {
        std::ofstream file(sparse, std::ios::binary | std::ios::trunc);
        file << text;
      }
      std::filesystem::resize_file(sparse, 3 * static_cast<std::uintmax_t>(ni) * nj);
      const std::uint64_t values = std::uint64_t{16} * ni * static_cast<std::uint64_t>(lines);
      for (const bool throughPipe : {true, false}) {
        for (const HugePages verdict : {HugePages::Cheap, HugePages::Costly}) {
          setHugePages(verdict);
          const std::uint64_t before = residentBytes();
          GridHeader header;
          IndexOrder order;
          TerrainGrid grid;
          ResultCode read = Ok;
          if (throughPipe) {
            TextReader in(text, kUnknownFileSize, TextReader::kDefaultChunkSize);
            read = readDmna(in, header, order, grid);
          } else {
            read = readDmnaFileQuietly(sparse, header, order, grid);
          }
          const std::uint64_t after = residentBytes();
          const std::uint64_t grown = after > before ? after - before : 0;
          releaseGrid(grid);
          EXPECT_EQ(CannotRead, read);
          EXPECT_LT(grown, 3 * values + (std::uint64_t{8} << 20))
              << lines << " lines, " << sequ << ", pipe " << throughPipe << ", verdict "
              << static_cast<int>(verdict);
        }
      }
    }
  }
  std::filesystem::remove(sparse);
  setHugePages(HugePages::Measure);
}
#endif

}  // namespace
}  // namespace trasop
