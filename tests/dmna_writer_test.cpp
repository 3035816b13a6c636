// The output name, the slope file's text and the safe replacement of an older output.
#include "dmna/dmna_writer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <ios>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>

#ifndef _WIN32
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/types.h>
#endif

#include "dmna/dmna_reader_steps.h"
#include "platform/output_file.h"
#include "tests/result_code_printer.h"

namespace trasop {
namespace {

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
  explicit ReadGrid(const std::string& orderLine = "sequ i+,j+\n",
                    const std::string& rest = "lowb 0 0\nhghb 2 2\n*\n1 2 3 4 5 6 7 8 9\n") {
    const std::string text = orderLine + "delta 1\n" + rest;
    TextReader in(text);
    EXPECT_EQ(Ok, readDmna(in, header, order, grid));
  }
  ~ReadGrid() { releaseGrid(grid); }
  GridHeader header;
  IndexOrder order;
  TerrainGrid grid;
};

// The whole text writeSlopeText gives for `g`.
std::string slopeText(const ReadGrid& g) {
  std::FILE* file = std::tmpfile();
  EXPECT_NE(nullptr, file);
  if (file == nullptr) return "";
  EXPECT_TRUE(writeSlopeText(file, g.header, g.order, g.grid));
  std::string text(std::size_t{1} << 16, '\0');
  std::rewind(file);
  text.resize(std::fread(&text[0], 1, text.size(), file));
  std::fclose(file);
  return text;
}

// An order text longer than the largest piece the output buffer takes at once goes out whole.
TEST(WriteSlopeText, WritesALongOrderTextWhole) {
  const std::string sequ = "i+,j+" + std::string(400, 'x');
  const std::string text = slopeText(ReadGrid("sequ " + sequ + "\n"));
  EXPECT_NE(std::string::npos, text.find("\r\nsequ\t" + sequ + "\r\nmode\t")) << text;
}

// Values go in and slopes come out in the order of the header, in all eight orders, over more
// lines than the reader and the writer gather at a time. Point (i, j) holds i + j / 100, and
// its slope is set to its height, so every field names its point.
TEST(WriteSlopeText, KeepsTheOrderOfTheInput) {
  constexpr int ni = 5;
  constexpr int nj = 37;
  for (const char* sequ :
       {"i+,j+", "i+,j-", "i-,j+", "i-,j-", "j+,i+", "j+,i-", "j-,i+", "j-,i-"}) {
    const bool iOuter = sequ[0] == 'i';
    const int outerCount = iOuter ? ni : nj;
    const int innerCount = iOuter ? nj : ni;
    // The points' texts line by line in the order, leaving `margin` points out on every side.
    const auto lines = [&](int margin, const char* pointFormat, const char* lineEnd) {
      std::string text;
      char field[16];
      for (int o = margin; o < outerCount - margin; ++o) {
        for (int n = margin; n < innerCount - margin; ++n) {
          const int outer = sequ[1] == '+' ? o : outerCount - 1 - o;
          const int inner = sequ[4] == '+' ? n : innerCount - 1 - n;
          std::snprintf(field, sizeof field, pointFormat, iOuter ? outer : inner,
                        iOuter ? inner : outer);
          text += field;
        }
        text += lineEnd;
      }
      return text;
    };
    ReadGrid g(std::string("sequ ") + sequ + "\n",
               "lowb 0 0\nhghb 4 36\n*\n" + lines(0, " %d.%02d", "\n"));
    for (int i = 0; i < ni; ++i) {
      for (int j = 0; j < nj; ++j) {
        GridCell& cell = g.grid.rows[i][j];
        ASSERT_EQ((100 * i + j) / 100.0, cell.height) << sequ << " point " << i << ' ' << j;
        cell.slope = cell.height;
      }
    }
    const std::string text = slopeText(g);
    EXPECT_EQ("*\r\n" + lines(1, "\t%2d.%02d", "\r\n") + "\r\n***\r\n",
              text.substr(text.find("*\r\n")))
        << sequ;
  }
}

TEST(WriteSlopeFile, CannotCreateInAMissingFolder) {
  ReadGrid g;
  EXPECT_EQ(CannotCreate, writeSlopeFile("no-such-folder/zg00.dmna", g.header, g.order, g.grid));
}

#ifndef _WIN32
// A failing disk: every write to /dev/full fails, unbuffered at once, and the writer must say so.
TEST(WriteSlopeText, ReportsAFailedWrite) {
  ReadGrid g;
  std::FILE* full = std::fopen("/dev/full", "wb");
  ASSERT_NE(nullptr, full);
  ASSERT_EQ(0, std::setvbuf(full, nullptr, _IONBF, 0));
  EXPECT_FALSE(writeSlopeText(full, g.header, g.order, g.grid));
  std::fclose(full);
}

namespace fs = std::filesystem;

std::string contentOf(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// A scratch folder of its own for each test, and the slope file of ReadGrid as a plain run
// writes it.
class OutputFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string name = ::testing::TempDir() + "trasop_output_XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(&name[0]));
    folder = name;
    fs::create_directories(folder / "other");
    ASSERT_EQ(Ok, writeSlopeFile((folder / "plain").string(), g.header, g.order, g.grid));
    expected = contentOf(folder / "plain_s.dmna");
    fs::remove(folder / "plain_s.dmna");
  }
  void TearDown() override {
    setTemporaryNameSource(nullptr);
    fs::remove_all(folder);
  }
  ResultCode write() {
    return writeSlopeFile((folder / "g.dmna").string(), g.header, g.order, g.grid);
  }
  ReadGrid g;
  fs::path folder;
  std::string expected;
};

// Random suffixes 0, 1, 2, ...: the names the writer tries are then known in advance.
std::uint64_t counter = 0;
std::uint64_t countingSource() { return counter++; }

// A link at a name the writer may try, pointing at a file of someone else's, is passed over,
// never followed; with every name taken, the run fails without touching anything.
TEST_F(OutputFileTest, NeverFollowsALinkAtATemporaryName) {
  for (const int taken : {0, 1, kTemporaryNameTries - 1, kTemporaryNameTries}) {
    SCOPED_TRACE(taken);
    fs::remove_all(folder / "other");
    fs::create_directories(folder / "other");
    fs::remove(folder / "g_s.dmna");
    std::ofstream(folder / "other" / "victim") << "victim";
    for (int k = 0; k < taken; ++k) {
      const std::string name = std::string("g_s.dmna.") + "0123456789abcdef"[k] + "0000000.tmp";
      fs::create_symlink(folder / "other" / "victim", folder / name);
    }
    counter = 0;
    setTemporaryNameSource(countingSource);
    const bool room = taken < kTemporaryNameTries;
    EXPECT_EQ(room ? Ok : CannotCreate, write());
    EXPECT_EQ("victim", contentOf(folder / "other" / "victim"));
    EXPECT_EQ(room ? expected : "", contentOf(folder / "g_s.dmna"));
    int links = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
      if (entry.path().extension() != ".tmp") continue;
      EXPECT_TRUE(fs::is_symlink(entry.symlink_status())) << entry.path();
      fs::remove(entry.path());
      ++links;
    }
    EXPECT_EQ(taken, links);
  }
}

// The permissions a rewrite in place would give: an older output's own, or those of a new file.
TEST_F(OutputFileTest, KeepsThePermissionsOfAnOlderOutput) {
  struct ModeCase {
    int older;  // -1: no older output
    mode_t mask;
    int expected;
  };
  const ModeCase cases[] = {{0640, 022, 0640}, {0604, 077, 0604}, {-1, 022, 0644}, {-1, 077, 0600}};
  for (const ModeCase& c : cases) {
    fs::remove(folder / "g_s.dmna");
    if (c.older >= 0) {
      std::ofstream(folder / "g_s.dmna") << "older";
      fs::permissions(folder / "g_s.dmna", static_cast<fs::perms>(c.older));
    }
    const mode_t mask = umask(c.mask);
    EXPECT_EQ(Ok, write());
    umask(mask);
    struct stat written;
    ASSERT_EQ(0, stat((folder / "g_s.dmna").c_str(), &written));
    EXPECT_EQ(c.expected, static_cast<int>(written.st_mode & 0777)) << c.older << ' ' << c.mask;
  }
}

// An output name that is a link: the file at the end of its links gets the result, as a write
// through the link would; the links stay links.
TEST_F(OutputFileTest, WritesThroughALink) {
  const fs::path target = folder / "other" / "target.dmna";
  for (const bool older : {true, false}) {
    SCOPED_TRACE(older);
    fs::remove(target);
    fs::remove(folder / "g_s.dmna");
    fs::remove(folder / "hop");
    if (older) std::ofstream(target) << "older";
    fs::create_symlink("other/target.dmna", folder / "hop");
    fs::create_symlink("hop", folder / "g_s.dmna");
    EXPECT_EQ(Ok, write());
    EXPECT_EQ(expected, contentOf(target));
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(folder / "g_s.dmna")));
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(folder / "hop")));
    EXPECT_EQ(1, std::distance(fs::directory_iterator(folder / "other"), {}));
  }
}
#endif

}  // namespace
}  // namespace trasop
