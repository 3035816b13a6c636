// The header of a dmna file: key lines, comments and the line that ends the header.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string_view>

#include "dmna/dmna_reader_steps.h"
#include "dmna/number_scan.h"

namespace trasop {

namespace {

// Lines are read in pieces of at most 511 characters; each piece counts as a line.
constexpr std::size_t kLineCapacity = 512;

// The header ends at a line whose only non-blank character is "*".
bool isEndLine(std::string_view line) {
  int nonBlank = 0;
  for (const char c : line) {
    if (!isBlank(static_cast<unsigned char>(c))) ++nonBlank;
  }
  return nonBlank == 1 && line.find('*') != std::string_view::npos;
}

// A signed decimal integer at `p`, saturated at the limits of 64 bits. Returns false, leaving
// `p` alone, when no digit follows the optional sign.
bool scanInteger(const char*& p, const char* end, std::int64_t& value) {
  const char* q = p;
  const bool negative = q != end && *q == '-';
  if (q != end && (*q == '+' || *q == '-')) ++q;
  if (q == end || !isDigit(*q)) return false;
  constexpr std::uint64_t kLimit = std::uint64_t{1} << 63;  // magnitude of the lowest value
  std::uint64_t magnitude = 0;
  for (; q != end && isDigit(*q); ++q) {
    const unsigned digit = static_cast<unsigned>(*q - '0');
    magnitude = magnitude > (kLimit - digit) / 10 ? kLimit : magnitude * 10 + digit;
  }
  if (negative) {
    value = magnitude == kLimit ? std::numeric_limits<std::int64_t>::min()
                                : -static_cast<std::int64_t>(magnitude);
  } else {
    value = magnitude >= kLimit ? std::numeric_limits<std::int64_t>::max()
                                : static_cast<std::int64_t>(magnitude);
  }
  p = q;
  return true;
}

// Skips one word, then reads up to two integers into target.i and target.j. The scan stops at
// the first integer that is missing; fields it does not reach keep their values.
void scanWordAndTwoIntegers(std::string_view text, IndexPair& target) {
  const char* p = text.data();
  const char* const end = p + text.size();
  p = skipBlanks(p, end);
  if (p == end) return;
  p = skipToken(p, end);
  for (std::int64_t* field : {&target.i, &target.j}) {
    p = skipBlanks(p, end);
    if (!scanInteger(p, end, *field)) return;
  }
}

// A real value stands after the first space or tab that follows its key; without such a
// blank the field is left as it is.
void readRealAfterKey(std::string_view line, std::size_t keyEnd, double& field) {
  const std::size_t blank = line.find_first_of(" \t", keyEnd);
  if (blank == std::string_view::npos) return;
  field = scanNumber(line.data() + blank, line.data() + line.size());
}

void setOrder(IndexOrder& order, Outer outer, char firstSign, char secondSign) {
  const int first = firstSign == '-' ? -1 : 1;
  const int second = secondSign == '-' ? -1 : 1;
  order.outer = outer;
  order.iStep = outer == Outer::IOuter ? first : second;
  order.jStep = outer == Outer::IOuter ? second : first;
}

// The order text after "sequ", such as "j-,i+" with or without its quotes. Only the
// characters at positions 0, 1, 3 and 4 (after an opening quote) are examined.
ResultCode readOrderText(std::string_view line, std::size_t keyEnd, GridHeader& header,
                         IndexOrder& order) {
  std::size_t start = line.find_first_of(" \t\"", keyEnd);
  if (start == std::string_view::npos) return Ok;
  const char* const end = line.data() + line.size();
  const char* const first = skipBlanks(line.data() + start, end);
  const std::string_view text(first, static_cast<std::size_t>(end - first));
  if (text.size() < 5) return BadSequ;
  header.sequ.assign(text);

  const std::string_view s = text[0] == '"' ? text.substr(1) : text;
  auto at = [s](std::size_t k) { return k < s.size() ? s[k] : '\0'; };
  if (at(0) == 'j' && at(3) == 'i') {
    setOrder(order, Outer::JOuter, at(1), at(4));
  } else if (at(0) == 'i' && at(3) == 'j') {
    setOrder(order, Outer::IOuter, at(1), at(4));
  }
  return Ok;
}

// Applies one header line (as read, without its terminator) to the header and order.
ResultCode readHeaderLine(std::string_view piece, GridHeader& header, IndexOrder& order) {
  char text[kLineCapacity];
  std::size_t length = std::min(piece.find('\n'), piece.size());
  for (std::size_t k = 0; k < length; ++k) text[k] = toLowerAscii(piece[k]);
  std::string_view line(text, length);

  const char* firstChar = skipBlanks(line.data(), line.data() + line.size());
  if (firstChar != line.data() + line.size() && *firstChar == '-') return Ok;  // comment line
  line = line.substr(0, line.find('\''));  // an apostrophe starts a comment

  if (const std::size_t at = line.find("sequ"); at != std::string_view::npos) {
    const ResultCode result = readOrderText(line, at + 4, header, order);
    if (result != Ok) return result;
  }
  using RealField = double GridHeader::*;
  struct RealKey {
    std::string_view key;
    RealField field;
  };
  static constexpr RealKey kRealKeys[] = {{"xmin", &GridHeader::xmin},
                                          {"ymin", &GridHeader::ymin},
                                          {"delta", &GridHeader::delta},
                                          {"gakrx", &GridHeader::gakrx},
                                          {"gakry", &GridHeader::gakry}};
  for (const RealKey& real : kRealKeys) {
    const std::size_t at = line.find(real.key);
    if (at != std::string_view::npos)
      readRealAfterKey(line, at + real.key.size(), header.*real.field);
  }
  // The word skipped before the two bounds is the key itself for lowb, but the line's first
  // word for hghb.
  if (const std::size_t at = line.find("lowb"); at != std::string_view::npos) {
    scanWordAndTwoIntegers(line.substr(at), header.lowb);
  }
  if (line.find("hghb") != std::string_view::npos) scanWordAndTwoIntegers(line, header.hghb);
  return Ok;
}

}  // namespace

ResultCode readHeader(TextReader& in, GridHeader& header, IndexOrder& order) {
  resetHeaderDefaults(header);
  char piece[kLineCapacity];
  while (in.readLinePiece(piece, sizeof piece) > 0) {
    const std::string_view line(piece);  // what stands before a zero byte
    if (isEndLine(line)) break;
    const ResultCode result = readHeaderLine(line, header, order);
    if (result != Ok) return result;
  }
  return Ok;
}

}  // namespace trasop
