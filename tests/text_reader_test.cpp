#include "dmna/text_reader.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace trasop {
namespace {

std::vector<std::string> pieces(const std::string& text, std::size_t capacity = 512) {
  TextReader in(text);
  std::vector<std::string> result;
  std::vector<char> buffer(capacity);
  while (std::size_t n = in.readLinePiece(buffer.data(), capacity))
    result.emplace_back(buffer.data(), n);
  return result;
}

std::vector<std::string> tokens(const std::string& text) {
  TextReader in(text);
  std::vector<std::string> result;
  std::string_view token;
  while (in.readToken(token)) result.emplace_back(token);
  return result;
}

using Lines = std::vector<std::string>;

TEST(TextReader, AppliesTheTextModeRules) {
  struct Case {
    std::string text;
    Lines lines;
  };
  const Case cases[] = {
      {"a\r\nb\r\n", {"a\n", "b\n"}},
      {"a\nb", {"a\n", "b"}},
      // Only a carriage return directly before a line feed goes.
      {"a\rb\r\r\n", {"a\rb\r\n"}},
      {"a\r", {"a\r"}},
      // 0x1A ends the text.
      {"a\nb\x1a"
       "c\nd\n",
       {"a\n", "b"}},
      {"a\r\x1a\n", {"a\r"}},
      {"\x1a"
       "a\n",
       {}},
      {"", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(c.lines, pieces(c.text)) << c.text;
}

TEST(TextReader, SplitsLongLinesIntoPieces) {
  EXPECT_EQ((Lines{"abc", "de\n", "f"}), pieces("abcde\nf", 4));
  EXPECT_EQ((Lines{"abc", "\n"}), pieces("abc\r\n", 4));
}

TEST(TextReader, HandlesCarriageReturnsAtChunkBoundaries) {
  // The reader works in chunks of 64 KiB; place CR LF pairs and lone CRs across the seams.
  for (std::size_t offset = 65530; offset < 65541; ++offset) {
    const std::string filler(offset, 'x');
    EXPECT_EQ((Lines{filler + "\n", "y\n"}), pieces(filler + "\r\ny\r\n", 1 << 20)) << offset;
    EXPECT_EQ((Lines{
                  filler + "\r",
              }),
              pieces(filler + "\r", 1 << 20))
        << offset;
    EXPECT_EQ((Lines{filler + "\ry\n"}), pieces(filler + "\ry\n", 1 << 20)) << offset;
  }
}

TEST(TextReader, SplitsTokensOnTheSixBlanks) {
  EXPECT_EQ((Lines{"1", "-2.5", "x\xa0y", "3"}), tokens(" 1\t-2.5\n\vx\xa0y\f\r3\r\n"));
  EXPECT_EQ((Lines{"1", "2"}), tokens("1\r\n2\x1a 3 4"));
  EXPECT_EQ(Lines{}, tokens(" \n\t "));
}

TEST(TextReader, ReadsTokensAcrossChunksWhole) {
  const std::string filler(65533, ' ');
  EXPECT_EQ((Lines{"123456", "7"}), tokens(filler + "123456 7"));
  // A number across the seam is converted whole.
  const std::string across = filler + "123456.25 7";
  TextReader in(across);
  double value = 0.0;
  ASSERT_TRUE(in.readNumber(value));
  EXPECT_EQ(123456.25, value);
  ASSERT_TRUE(in.readNumber(value));
  EXPECT_EQ(7.0, value);
  // A token far longer than a chunk: what is kept still holds its leading number.
  const std::string digits(200000, '7');
  const Lines longDigits = tokens(filler + digits + " 5");
  ASSERT_EQ(2u, longDigits.size());
  EXPECT_EQ(digits, longDigits[0]);
  const Lines longWord = tokens("1.5e3" + std::string(300000, 'q') + " 5");
  ASSERT_EQ(2u, longWord.size());
  EXPECT_EQ(0u, longWord[0].find("1.5e3q"));
  EXPECT_EQ("5", longWord[1]);
}

TEST(TextReader, BoundsWhatIsLeftToRead) {
  const std::string text = "head\n1 2 3\n";
  TextReader in(text);
  EXPECT_GE(in.remainingAtMost(), text.size());
  char piece[512];
  in.readLinePiece(piece, sizeof piece);
  EXPECT_GE(in.remainingAtMost(), 6u);
  EXPECT_LE(in.remainingAtMost(), 7u);
}

}  // namespace
}  // namespace trasop
