#include "dmna/text_reader.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "dmna/number_scan.h"
#include "platform/file_info.h"

namespace trasop {

namespace {

// Kept behind the buffer's text: neither a blank, a digit nor ".", so that blanks and a plain
// number are scanned there without a bound.
constexpr char kSentinel = '\0';
constexpr char kEndOfText = '\x1a';

}  // namespace

TextReader::TextReader(std::FILE* file, std::uint64_t size, std::size_t chunkSize)
    : file_(file),
      chunkSize_(std::max<std::size_t>(chunkSize, 1)),
      size_(size),
      buffer_(new char[chunkSize_ + 2]) {
  pos_ = end_ = buffer_.get();
  buffer_[0] = kSentinel;
}

TextReader::TextReader(std::string_view text, std::size_t chunkSize)
    : TextReader(text, text.size(), chunkSize) {}

TextReader::TextReader(std::string_view text, std::uint64_t size, std::size_t chunkSize)
    : memory_(text),
      chunkSize_(std::max<std::size_t>(chunkSize, 1)),
      size_(size),
      buffer_(new char[chunkSize_ + 2]) {
  pos_ = end_ = buffer_.get();
  buffer_[0] = kSentinel;
}

std::size_t TextReader::readRaw(char* out, std::size_t count) {
  std::size_t n;
  if (file_ != nullptr) {
    n = std::fread(out, 1, count, file_);
    if (n < count && std::ferror(file_)) failed_ = true;
  } else {
    n = std::min(count, memory_.size() - static_cast<std::size_t>(rawRead_));
    if (n > 0) std::memcpy(out, memory_.data() + rawRead_, n);
  }
  rawRead_ += n;
  return n;
}

// Loads the next chunk into the buffer and applies the text-mode rules to it. Returns false
// when no characters could be added.
bool TextReader::refill() {
  char* const base = buffer_.get();
  pos_ = end_ = base;
  *base = kSentinel;
  if (ended_) return false;

  std::size_t held = 0;
  if (pendingCr_) {
    base[held++] = '\r';
    pendingCr_ = false;
  }
  const std::size_t got = readRaw(base + held, chunkSize_);
  char* last = base + held + got;
  if (got == 0) ended_ = true;
  if (char* stopAt = static_cast<char*>(std::memchr(base + held, kEndOfText, got))) {
    last = stopAt;
    ended_ = true;
  }

  // Drop every carriage return that stands directly before a line feed. One at the very end
  // of the chunk is held back until the next chunk shows what follows it.
  char* write = base;
  const char* read = base;
  while (read != last) {
    const char* cr = static_cast<const char*>(std::memchr(read, '\r', last - read));
    const char* segmentEnd = cr != nullptr ? cr : last;
    if (write != read) std::memmove(write, read, segmentEnd - read);
    write += segmentEnd - read;
    if (cr == nullptr) break;
    read = cr + 1;
    if (read == last) {
      if (ended_) {
        *write++ = '\r';
      } else {
        pendingCr_ = true;
      }
    } else if (*read != '\n') {
      *write++ = '\r';
    }
  }
  end_ = write;
  *write = kSentinel;
  // A chunk that held nothing but a carriage return still waiting for its successor.
  return end_ != pos_ || (!ended_ && refill());
}

std::size_t TextReader::readLinePiece(char* out, std::size_t capacity) {
  std::size_t count = 0;
  while (count + 1 < capacity) {
    if (pos_ == end_ && !refill()) break;
    const std::size_t room = std::min<std::size_t>(capacity - 1 - count, end_ - pos_);
    const char* lineFeed = static_cast<const char*>(std::memchr(pos_, '\n', room));
    const std::size_t take =
        lineFeed != nullptr ? static_cast<std::size_t>(lineFeed - pos_ + 1) : room;
    std::memcpy(out + count, pos_, take);
    pos_ += take;
    count += take;
    if (lineFeed != nullptr) break;
  }
  out[count] = '\0';
  return count;
}

// Skips blanks, across chunks; false when the text ends before the next token.
bool TextReader::skipToToken() {
  for (;;) {
    pos_ = skipBlanks(pos_, end_);
    if (pos_ != end_) return true;
    if (!refill()) return false;
  }
}

// Any token, also one that is not a plain decimal or that runs on into further chunks: the
// number scanner takes its text piece by piece, and what follows the number is skipped.
bool TextReader::readAnyNumber(double& value) {
  if (!skipToToken()) return false;
  NumberScanner number;
  for (;;) {
    const char* const stop = number.scan(pos_, end_);
    pos_ = skipToken(stop, end_);
    if (pos_ != end_ || ended_ || !refill()) break;
  }
  value = number.value();
  return true;
}

std::uint64_t TextReader::remainingAtMost() const {
  if (size_ == kUnknownFileSize) return kUnknownFileSize;
  const std::uint64_t unread = size_ > rawRead_ ? size_ - rawRead_ : 0;
  return unread + static_cast<std::uint64_t>(end_ - pos_) + (pendingCr_ ? 1 : 0);
}

}  // namespace trasop
