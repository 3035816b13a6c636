// The argument check and the writer's pieces that a command-line run cannot reach easily.
#include "app/run.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "dmna/dmna_reader.h"
#include "dmna/dmna_writer.h"

namespace trasop {
namespace {

struct ArgumentCase {
  std::vector<const char*> args;  // after the program name
  bool slashIntroducesOption;
  ResultCode result;
};

TEST(CheckArguments, TakesExactlyOneFileName) {
  const ArgumentCase cases[] = {
      {{}, false, Usage},
      {{"a.dmna", "b.dmna"}, false, Usage},
      {{"-h"}, false, OptionGiven},
      {{"-"}, true, OptionGiven},
      {{"a-b.dmna"}, false, Ok},
      {{"zg00.dmna"}, true, Ok},
      // "/" marks an option only where it cannot begin an absolute path.
      {{"/?"}, true, OptionGiven},
      {{"/data/zg00.dmna"}, true, OptionGiven},
      {{"/data/zg00.dmna"}, false, Ok},
      {{"dir/zg00.dmna"}, true, Ok},
  };
  for (const ArgumentCase& c : cases) {
    std::vector<const char*> argv = {"trasop"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    std::string name = "unchanged";
    const ResultCode result =
        checkArguments(static_cast<int>(argv.size()), argv.data(), name, c.slashIntroducesOption);
    EXPECT_EQ(c.result, result) << argv.size() << ' ' << argv.back();
    EXPECT_EQ(result == Ok ? std::string(argv.back()) : "unchanged", name);
  }
}

TEST(CheckArguments, SlashIsAnOptionOnWindowsOnly) {
#ifdef _WIN32
  EXPECT_TRUE(kSlashIntroducesOption);
#else
  EXPECT_FALSE(kSlashIntroducesOption);
#endif
}

TEST(SlopeFileName, CutsAtTheLastDot) {
  const std::pair<std::string, std::string> cases[] = {
      {"zg00.dmna", "zg00_s.dmna"},
      {"zg00.DMNA", "zg00_s.dmna"},
      {"grid.v2.dmna", "grid.v2_s.dmna"},
      {"grid", "grid_s.dmna"},
      {"../grid", "._s.dmna"},
      {"sub.d/grid", "sub_s.dmna"},
      {"C:\\daten.neu\\zg00", "C:\\daten_s.dmna"},
      {".dmna", "_s.dmna"},
      {std::string(300, 'x') + ".dmna", std::string(300, 'x') + "_s.dmna"},
  };
  for (const auto& [input, output] : cases) EXPECT_EQ(output, slopeFileName(input)) << input;
}

// A small grid read from memory, ready to be written.
struct ReadGrid {
  ReadGrid() {
    TextReader in("sequ i+,j+\ndelta 1\nlowb 0 0\nhghb 2 2\n*\n1 2 3 4 5 6 7 8 9\n");
    EXPECT_EQ(Ok, readDmna(in, header, order, grid));
  }
  ~ReadGrid() { releaseGrid(grid); }
  GridHeader header;
  IndexOrder order;
  TerrainGrid grid;
};

TEST(WriteSlopeFile, CannotCreateInAMissingFolder) {
  ReadGrid g;
  EXPECT_EQ(CannotCreate, writeSlopeFile("no-such-folder/zg00.dmna", g.header, g.order, g.grid));
}

#ifndef _WIN32
// A failing disk: every write to /dev/full fails, and the writer must say so.
TEST(WriteSlopeText, ReportsAFailedWrite) {
  ReadGrid g;
  std::FILE* full = std::fopen("/dev/full", "wb");
  ASSERT_NE(nullptr, full);
  const bool written = writeSlopeText(full, g.header, g.order, g.grid);
  const bool closed = std::fclose(full) == 0;
  EXPECT_FALSE(written && closed);
}

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
