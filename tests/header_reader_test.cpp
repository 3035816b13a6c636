#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "dmna/dmna_reader_steps.h"
#include "dmna/text_reader.h"
#include "tests/result_code_printer.h"

namespace trasop {
namespace {

struct ReadHeader {
  ResultCode result;
  GridHeader header;
  IndexOrder order;
};

ReadHeader readHeaderOf(const std::string& text) {
  ReadHeader read;
  TextReader in(text);
  read.result = readHeader(in, read.header, read.order);
  return read;
}

TEST(HeaderReader, StartsFromTheDefaults) {
  const ReadHeader read = readHeaderOf("*\n");
  EXPECT_EQ(Ok, read.result);
  EXPECT_EQ(-1, read.header.lowb.i);
  EXPECT_EQ(-1, read.header.hghb.j);
  EXPECT_EQ(0.0, read.header.delta);
  EXPECT_EQ("\"j-,i+\"", read.header.sequ);
  EXPECT_EQ("\"%5.2f\"", read.header.form);
  EXPECT_EQ(Outer::Unset, read.order.outer);
}

using RealField = double GridHeader::*;

struct RealCase {
  const char* line;
  RealField field;
  double expected;
};

TEST(HeaderReader, ReadsRealValuesAfterTheFirstBlankBehindTheKey) {
  const double unchanged = 0.0;  // the default
  const RealCase cases[] = {
      {"xmin 3500.5", &GridHeader::xmin, 3500.5},
      {"ymin\t-12", &GridHeader::ymin, -12.0},
      {"DELTA 2.5d1", &GridHeader::delta, 25.0},
      {"gakrx 3400000", &GridHeader::gakrx, 3400000.0},
      {"gakry  5000000.25   ", &GridHeader::gakry, 5000000.25},
      {"xmin 5'7", &GridHeader::xmin, 5.0},
      {"  xmin 5", &GridHeader::xmin, 5.0},
      // No space or tab after the key: the field stays as it was.
      {"xmin5", &GridHeader::xmin, unchanged},
      {"xmin=5", &GridHeader::xmin, unchanged},
      // The text after the first blank begins with "=": no number.
      {"xmin = 5", &GridHeader::xmin, 0.0},
      // The key may stand inside a longer word.
      {"myxmin: 7", &GridHeader::xmin, 7.0},
      // Only the first occurrence of a key counts.
      {"xmin 1 xmin 2", &GridHeader::xmin, 1.0},
      // A comment line, even with a key in it.
      {"  -xmin 9", &GridHeader::xmin, unchanged},
      {"delta inf", &GridHeader::delta, 0.0},
      {"delta nan", &GridHeader::delta, 0.0},
  };
  for (const RealCase& c : cases) {
    const ReadHeader read = readHeaderOf(std::string(c.line) + "\n*\n");
    EXPECT_EQ(c.expected, read.header.*c.field) << c.line;
  }
}

TEST(HeaderReader, OneLineCanSetSeveralFieldsAndLaterLinesWin) {
  const ReadHeader read = readHeaderOf("xmin 1 ymin 2\nymin 3\n*\n");
  EXPECT_EQ(1.0, read.header.xmin);
  EXPECT_EQ(3.0, read.header.ymin);
}

struct BoundsCase {
  const char* lines;
  IndexPair lowb;
  IndexPair hghb;
};

TEST(HeaderReader, ReadsBoundsAfterOneSkippedWord) {
  const BoundsCase cases[] = {
      {"lowb 1 2\nhghb 10 20", {1, 2}, {10, 20}},
      {"LOWB\t-3\t+4", {-3, 4}, {-1, -1}},
      // One integer only: the second keeps its default.
      {"lowb 5", {5, -1}, {-1, -1}},
      {"lowb 5 x", {5, -1}, {-1, -1}},
      {"lowb 5.9 7", {5, -1}, {-1, -1}},
      {"lowb - 7", {-1, -1}, {-1, -1}},
      // lowb skips the key itself; hghb skips the first word of the line.
      {"bounds lowb 10 20", {10, 20}, {-1, -1}},
      {"bounds hghb 10 20", {-1, -1}, {-1, -1}},
      {"lowb 1 1\nlowb 7", {7, 1}, {-1, -1}},
      {"lowb 1 1 'lowb 3 3", {1, 1}, {-1, -1}},
      // Beyond 64 bits the integers saturate instead of wrapping.
      {"hghb 18446744073709551618 2", {-1, -1}, {INT64_MAX, 2}},
      {"hghb -99999999999999999999 2", {-1, -1}, {INT64_MIN, 2}},
      {"hghb 2147483648 -2147483649", {-1, -1}, {2147483648, -2147483649}},
  };
  for (const BoundsCase& c : cases) {
    const ReadHeader read = readHeaderOf(std::string(c.lines) + "\n*\n");
    EXPECT_EQ(c.lowb.i, read.header.lowb.i) << c.lines;
    EXPECT_EQ(c.lowb.j, read.header.lowb.j) << c.lines;
    EXPECT_EQ(c.hghb.i, read.header.hghb.i) << c.lines;
    EXPECT_EQ(c.hghb.j, read.header.hghb.j) << c.lines;
  }
}

struct OrderCase {
  const char* line;
  ResultCode result;
  const char* sequ;
  Outer outer;
  int iStep;
  int jStep;
};

TEST(HeaderReader, ReadsTheOrderText) {
  const OrderCase cases[] = {
      {"sequ \"j-,i+\"", Ok, "\"j-,i+\"", Outer::JOuter, 1, -1},
      {"sequ i+,j+", Ok, "i+,j+", Outer::IOuter, 1, 1},
      {"sequ i-,j-", Ok, "i-,j-", Outer::IOuter, -1, -1},
      {"sequ j+,i-", Ok, "j+,i-", Outer::JOuter, -1, 1},
      {"SEQU \"J-,I+\"", Ok, "\"j-,i+\"", Outer::JOuter, 1, -1},
      {"sequ\"i-;j+\"", Ok, "\"i-;j+\"", Outer::IOuter, -1, 1},
      // Anything but "-" counts as +1, a position past the end too.
      {"sequ \"j*,i", Ok, "\"j*,i", Outer::JOuter, 1, 1},
      // Neither rule matches: the order stays unset, the text is stored all the same.
      {"sequ \"j-i+\"", Ok, "\"j-i+\"", Outer::Unset, 1, 1},
      {"sequ x-,y+", Ok, "x-,y+", Outer::Unset, 1, 1},
      // No space, tab or quote after the key: nothing on the line concerns the order.
      {"sequ=j-,i+", Ok, "\"j-,i+\"", Outer::Unset, 1, 1},
      // Trailing blanks belong to the text; a comment does not.
      {"sequ i+,j+   ", Ok, "i+,j+   ", Outer::IOuter, 1, 1},
      {"sequ i+,j+'note", Ok, "i+,j+", Outer::IOuter, 1, 1},
      // A long text is kept whole.
      {"sequ \"j-,i+\"      and more", Ok, "\"j-,i+\"      and more", Outer::JOuter, 1, -1},
      // Fewer than five characters: rejected at once.
      {"sequ j+", BadSequ, "\"j-,i+\"", Outer::Unset, 1, 1},
      {"sequ \"j-\"", BadSequ, "\"j-,i+\"", Outer::Unset, 1, 1},
  };
  for (const OrderCase& c : cases) {
    const ReadHeader read = readHeaderOf(std::string(c.line) + "\n*\n");
    EXPECT_EQ(c.result, read.result) << c.line;
    EXPECT_EQ(c.sequ, read.header.sequ) << c.line;
    EXPECT_EQ(c.outer, read.order.outer) << c.line;
    EXPECT_EQ(c.iStep, read.order.iStep) << c.line;
    EXPECT_EQ(c.jStep, read.order.jStep) << c.line;
  }
}

TEST(HeaderReader, StopsReadingAtAShortOrderText) {
  const ReadHeader read = readHeaderOf("sequ j+\ndelta 5\n*\n");
  EXPECT_EQ(BadSequ, read.result);
  EXPECT_EQ(0.0, read.header.delta);
}

TEST(HeaderReader, EndsAtALineWithNothingButAStar) {
  struct EndCase {
    const char* text;
    double xmin;  // xmin 1 stands before the candidate line, xmin 2 after it
  };
  const EndCase cases[] = {
      {"xmin 1\n*\nxmin 2\n", 1.0},     {"xmin 1\n  *\t \nxmin 2\n", 1.0},
      {"xmin 1\n*\r\nxmin 2\n", 1.0},   {"xmin 1\n**\nxmin 2\n", 2.0},
      {"xmin 1\n* end\nxmin 2\n", 2.0}, {"xmin 1\n-\nxmin 2\n", 2.0},
  };
  for (const EndCase& c : cases) EXPECT_EQ(c.xmin, readHeaderOf(c.text).header.xmin) << c.text;
  // Zero bytes inside the line: only what stands before the first one counts.
  const std::string withZero("xmin 1\n*\0 xx\nxmin 2\n*\n", 22);
  EXPECT_EQ(1.0, readHeaderOf(withZero).header.xmin);
  const std::string keyAfterZero("x\0xmin 3\nxmin 4\0 5\n*\n", 21);
  EXPECT_EQ(4.0, readHeaderOf(keyAfterZero).header.xmin);
}

TEST(HeaderReader, TakesLongLinesInPiecesOf511Characters) {
  // The value stands at character 512: it begins a piece of its own, which has no key.
  const std::string padded = "xmin" + std::string(507, ' ') + "5\n*\n";
  EXPECT_EQ(0.0, readHeaderOf(padded).header.xmin);
  // A key at the start of the second piece is found there.
  const std::string second = std::string(511, 'x') + "delta 4\n*\n";
  EXPECT_EQ(4.0, readHeaderOf(second).header.delta);
  // A star line after a 511-character piece of blanks ends the header.
  const std::string star = "xmin 1\n" + std::string(511, ' ') + "*\nxmin 2\n";
  EXPECT_EQ(1.0, readHeaderOf(star).header.xmin);
}

}  // namespace
}  // namespace trasop
