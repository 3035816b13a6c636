#include "dmna/text_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string>
#include <vector>

#include "dmna/number_scan.h"

namespace trasop {
namespace {

std::vector<std::string> pieces(const std::string& text, std::size_t capacity = 512,
                                std::size_t chunkSize = TextReader::kDefaultChunkSize) {
  TextReader in(text, chunkSize);
  std::vector<std::string> result;
  std::vector<char> buffer(capacity);
  while (std::size_t n = in.readLinePiece(buffer.data(), capacity))
    result.emplace_back(buffer.data(), n);
  return result;
}

std::vector<double> numbers(const std::string& text,
                            std::size_t chunkSize = TextReader::kDefaultChunkSize) {
  TextReader in(text, chunkSize);
  std::vector<double> result;
  double value = 0.0;
  while (in.readNumber(value)) result.push_back(value);
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
  // Chunks of 1 to 8 bytes put every seam between and inside CR LF pairs and lone CRs.
  for (std::size_t chunk = 1; chunk <= 8; ++chunk) {
    EXPECT_EQ((Lines{"xyz\n", "y\n"}), pieces("xyz\r\ny\r\n", 512, chunk)) << chunk;
    EXPECT_EQ((Lines{"xyz\r"}), pieces("xyz\r", 512, chunk)) << chunk;
    EXPECT_EQ((Lines{"x\ry\n", "\r\r"}), pieces("x\ry\r\n\r\r", 512, chunk)) << chunk;
    EXPECT_EQ((Lines{"ab\n"}), pieces("ab\r\n\x1a\r\n", 512, chunk)) << chunk;
  }
}

using Numbers = std::vector<double>;

TEST(TextReader, ReadsNumbersOnTheSixBlanks) {
  EXPECT_EQ((Numbers{1, -2.5, 0, 3}), numbers(" 1\t-2.5\n\vx\xa0y\f\r3\r\n"));
  EXPECT_EQ((Numbers{1, 2}), numbers("1\r\n2\x1a 3 4"));
  EXPECT_EQ(Numbers{}, numbers(" \n\t "));
}

TEST(TextReader, ReadsEveryNumberWholeWhereverTheSeamsFall) {
  // Each token's value as scanNumber gives it for the whole text, for chunks of every size
  // from one byte on, so that seams fall at every place inside and between the tokens.
  const std::string text =
      " 412.7 -3 +.5 5. 2.5d1 1E-2 7e 7e+ 7e+x 1.5e3qqq 12345678901234567890123456789 "
      "0.000000000000000000000000000001234 1e400 -1e-400 abc - . 1.2.3 0x1p3 "
      "123456789012345678.25\r\n9\r";
  Numbers expected;
  for (std::size_t at = 0; at < text.size();) {
    while (at < text.size() && isBlank(static_cast<unsigned char>(text[at]))) ++at;
    if (at == text.size()) break;
    const std::size_t end = std::min(text.find_first_of(" \r\n", at), text.size());
    expected.push_back(scanNumber(text.data() + at, text.data() + end));
    at = end;
  }
  ASSERT_EQ(21u, expected.size());
  EXPECT_EQ(expected, numbers(text));
  for (std::size_t chunk = 1; chunk <= text.size(); ++chunk) {
    EXPECT_EQ(expected, numbers(text, chunk)) << "chunks of " << chunk;
  }
  // A token far longer than a chunk, of digits alone or with the number's end deep inside.
  const std::string one = "1" + std::string(5000, '0') + "e-5000";
  for (std::size_t chunk : {std::size_t{7}, std::size_t{64}, std::size_t{4096}}) {
    EXPECT_EQ((Numbers{1.0, 5.0}), numbers(one + " 5", chunk)) << chunk;
    EXPECT_EQ((Numbers{1500.0, 5.0}), numbers("1.5e3" + std::string(9000, 'q') + " 5", chunk));
    const Numbers digits = numbers(std::string(9000, '7') + " 5", chunk);
    ASSERT_EQ(2u, digits.size());
    EXPECT_TRUE(std::isinf(digits[0]));
  }
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
