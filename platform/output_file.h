// The output file of a run, replaced the way that loses nothing. Where the output does not
// exist yet, or where a new file can take the old one's place with everything it had (one
// link, its owner, group and permissions, no other attributes), the text goes to a temporary
// file beside it, which replaces the output only once complete: a failed or interrupted run
// leaves the old output as it was. Otherwise (more links, a colleague's file, attributes or
// access lists, a FIFO, a device, a folder the runner may not write to) the text is written
// into the existing file itself, as any program writing to that name would.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace trasop {

struct OutputFile {
  OutputFile() = default;
  // An interrupt may read temporaryName while the file is open: it must stay where it is.
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  std::FILE* file = nullptr;  // where the text goes, opened for binary writing
  // The new file that replaces the output once complete; empty where the output is rewritten
  // in place.
  std::string temporaryName;
  std::string target;             // what the temporary file replaces
  bool replacesExisting = false;  // the target exists
  std::uint32_t attributes = 0;   // Windows: the replaced file's attributes, given back
};

// Opens the output `name` for writing. An existing name (a file, or a link to anything) is
// opened through the system first, which judges permissions and links; where it refuses,
// nothing is changed. An existing file rewritten in place is emptied here.
// Returns false when the output cannot be written; `output` then holds nothing open.
bool openOutputFile(const std::string& name, OutputFile& output);

// Closes the output. Where the text is `complete` and every write and the close succeeded,
// the temporary file (if any) takes the output's place; otherwise it is removed.
// Returns true when the output now holds the complete text.
bool closeOutputFile(OutputFile& output, bool complete);

// True when the output is written into the existing file rather than replaced.
inline bool rewritesInPlace(const OutputFile& output) { return output.temporaryName.empty(); }

// For tests only: replaces the source of the random suffixes of temporary names (nullptr
// restores the real one), so that a test can know every name that will be tried.
using RandomSource = std::uint64_t (*)();
void setTemporaryNameSource(RandomSource source);

// How many temporary names are tried before the run gives up on one.
constexpr int kTemporaryNameTries = 16;

}  // namespace trasop
