// Reads a file, or text held in memory, with the text-mode rules of the format: a carriage
// return directly before a line feed is dropped, and a byte 0x1A ends the text. The rules are
// applied here, so every platform reads the same characters.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "dmna/file_system.h"
#include "dmna/number_scan.h"

namespace trasop {

class TextReader {
 public:
  // Reads from `file`, opened in binary mode and owned by the caller. `size` is the file's
  // size in bytes when it is a regular file, else kUnknownFileSize.
  TextReader(std::FILE* file, std::uint64_t size);
  // Reads from `text`, which must outlive the reader.
  explicit TextReader(std::string_view text);

  TextReader(const TextReader&) = delete;
  TextReader& operator=(const TextReader&) = delete;

  // Reads the next line piece like fgets: up to `capacity` - 1 characters, stopping after a
  // line feed, followed by a terminating zero. Returns the number of characters read, 0 at the
  // end of the text.
  std::size_t readLinePiece(char* out, std::size_t capacity);

  // Skips blanks and returns the next run of non-blank characters; false at the end of the
  // text. A token of any length is read whole; of a very long one the view may hold only the
  // part that contains its leading number. The view stays valid until the next call.
  bool readToken(std::string_view& token);

  // Reads the next token and converts its leading number with scanNumber (0.0 when it has
  // none); false at the end of the text.
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
  std::uint64_t size_ = kUnknownFileSize;
  std::uint64_t rawRead_ = 0;

  std::unique_ptr<char[]> buffer_;
  const char* pos_ = nullptr;  // next character to hand out
  const char* end_ = nullptr;  // end of the translated characters in the buffer
  bool pendingCr_ = false;     // a carriage return at the end of the last chunk, not yet judged
  bool ended_ = false;         // the source has nothing more (end, error or 0x1A)
  bool failed_ = false;
  std::string longToken_;  // a token that spans chunks is gathered here
};

}  // namespace trasop
