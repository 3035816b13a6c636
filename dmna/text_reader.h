// Reads a file, or text held in memory, with the text-mode rules of the format: a carriage
// return directly before a line feed is dropped, and a byte 0x1A ends the text. The rules are
// applied here, so every platform reads the same characters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string_view>

#include "dmna/number_scan.h"
#include "platform/file_info.h"

namespace trasop {

class TextReader {
 public:
  // The text is read in chunks of this many bytes, unless a reader is given another size.
  static constexpr std::size_t kDefaultChunkSize = std::size_t{64} * 1024;

  // Reads from `file`, opened in binary mode and owned by the caller. `size` is the file's
  // size in bytes when it is a regular file, else kUnknownFileSize.
  TextReader(std::FILE* file, std::uint64_t size, std::size_t chunkSize = kDefaultChunkSize);
  // Reads from `text`, which must outlive the reader; `size` as above (kUnknownFileSize reads
  // it as if its size were unknown).
  explicit TextReader(std::string_view text, std::size_t chunkSize = kDefaultChunkSize);
  TextReader(std::string_view text, std::uint64_t size, std::size_t chunkSize);

  TextReader(const TextReader&) = delete;
  TextReader& operator=(const TextReader&) = delete;

  // Reads the next line piece like fgets: up to `capacity` - 1 characters, stopping after a
  // line feed, followed by a terminating zero. Returns the number of characters read, 0 at the
  // end of the text.
  std::size_t readLinePiece(char* out, std::size_t capacity);

  // Reads the next token (a run of non-blank characters) and converts its leading number as
  // scanNumber does (0.0 when it has none); false at the end of the text. A token of any
  // length, across any number of chunks, is read in constant memory.
  bool readNumber(double& value) {
    // Most tokens are plain decimals that stand whole in the buffer after a few blanks. The
    // character kept behind the buffer's text is neither a blank nor part of a number, so
    // these scans need no bound.
    const char* p = pos_;
    while (isBlank(static_cast<unsigned char>(*p))) ++p;
    const char* const plainEnd = scanPlainDecimal<true>(p, end_, value);
    if (plainEnd != nullptr && plainEnd != end_ && isBlank(static_cast<unsigned char>(*plainEnd))) {
      pos_ = plainEnd;
      return true;
    }
    return readAnyNumber(value);
  }

  // True once reading the source failed (not merely ended).
  bool failed() const { return failed_; }

  // At least as many characters as are left to read; kUnknownFileSize when the size is
  // unknown.
  std::uint64_t remainingAtMost() const;

 private:
  bool readAnyNumber(double& value);
  bool refill();
  bool skipToToken();
  std::size_t readRaw(char* out, std::size_t count);

  std::FILE* file_ = nullptr;
  std::string_view memory_;
  std::size_t chunkSize_;
  std::uint64_t size_ = kUnknownFileSize;
  std::uint64_t rawRead_ = 0;

  // Room for a carriage return held back from the last chunk, a chunk, and the sentinel.
  std::unique_ptr<char[]> buffer_;
  const char* pos_ = nullptr;  // next character to hand out
  const char* end_ = nullptr;  // end of the translated characters in the buffer
  bool pendingCr_ = false;     // a carriage return at the end of the last chunk, not yet judged
  bool ended_ = false;         // the source has nothing more (end, error or 0x1A)
  bool failed_ = false;
};

}  // namespace trasop
