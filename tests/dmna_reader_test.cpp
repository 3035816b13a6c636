// The checks of a whole dmna text, in their order, and failed reads.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "dmna/dmna_reader_steps.h"
#include "platform/file_info.h"
#include "tests/result_code_printer.h"

namespace trasop {
namespace {

struct CheckCase {
  const char* text;
  ResultCode result;
};

TEST(DmnaReader, ChecksOrderThenDeltaThenBounds) {
  const CheckCase cases[] = {
      {"delta 1\nlowb 0 0\nhghb 2 2\n*\n", BadSequ},
      {"sequ i+j+\ndelta 1\nlowb 0 0\nhghb 2 2\n*\n", BadSequ},
      {"sequ i+,j+\nlowb 0 0\nhghb 2 2\n*\n", BadDelta},
      {"sequ i+,j+\ndelta 0\nlowb 0 0\nhghb 2 2\n*\n", BadDelta},
      {"sequ i+,j+\ndelta -5\nlowb 0 0\nhghb 2 2\n*\n", BadDelta},
      {"sequ i+,j+\ndelta 1e400\nlowb 0 0\nhghb 2 2\n*\n", BadDelta},
      {"sequ i+,j+\ndelta 1\n*\n", BadBounds},
      {"sequ i+,j+\ndelta 1\nlowb 1 1\nhghb 2 3\n*\n", BadBounds},
      {"sequ i+,j+\ndelta 1\nlowb 1 1\nhghb 3 2\n*\n", BadBounds},
      {"sequ i+,j+\ndelta 1\nlowb 5 5\nhghb 0 0\n*\n", BadBounds},
      // 2^64 + 2 must not wrap around to 2.
      {"sequ i+,j+\ndelta 1\nlowb 0 0\nhghb 18446744073709551618 2\n*\n", BadBounds},
      {"sequ i+,j+\ndelta 1\nlowb 0 0\nhghb 2147483648 2\n*\n", BadBounds},
      {"sequ i+,j+\ndelta 1\nlowb -2147483649 0\nhghb 2 2\n*\n", BadBounds},
      // Each bound fits 32 bits, the count does not.
      {"sequ i+,j+\ndelta 1\nlowb -2147483648 0\nhghb 2147483647 2\n*\n", BadBounds},
      {"sequ i+,j+\ndelta 1\nlowb 0 0\nhghb 0 0\n*\n", BadBounds},
  };
  for (const CheckCase& c : cases) {
    TextReader in{std::string_view(c.text)};
    GridHeader header;
    IndexOrder order;
    TerrainGrid grid;
    EXPECT_EQ(c.result, readDmna(in, header, order, grid)) << c.text;
    EXPECT_EQ(nullptr, grid.rows) << c.text;  // nothing allocated for a rejected header
  }
}

TEST(DmnaReader, AcceptsTheSmallestGridAndOneMissingBoundLine) {
  struct SizeCase {
    const char* bounds;
    int ni;
    int nj;
  };
  const SizeCase cases[] = {{"lowb 1 1\nhghb 3 3\n", 3, 3}, {"hghb 10 20\n", 12, 22}};
  for (const SizeCase& c : cases) {
    std::string text = std::string("sequ i+,j+\ndelta 1\n") + c.bounds + "*\n";
    for (int n = 0; n < c.ni * c.nj; ++n) text += "1 ";
    TextReader in(text);
    GridHeader header;
    IndexOrder order;
    TerrainGrid grid;
    EXPECT_EQ(Ok, readDmna(in, header, order, grid)) << c.bounds;
    EXPECT_EQ(c.ni, grid.ni);
    EXPECT_EQ(c.nj, grid.nj);
    releaseGrid(grid);
  }
}

#ifndef _WIN32
// Reading a folder as a file fails on the first read; that is a failure, not an empty file.
TEST(DmnaReader, ReportsAReadError) {
  std::FILE* folder = std::fopen(".", "rb");
  if (folder == nullptr) GTEST_SKIP() << "this system does not open folders as files";
  TextReader in(folder, kUnknownFileSize);
  GridHeader header;
  IndexOrder order;
  TerrainGrid grid;
  EXPECT_EQ(CannotRead, readDmna(in, header, order, grid));
  EXPECT_TRUE(in.failed());
  std::fclose(folder);
}
#endif

}  // namespace
}  // namespace trasop
