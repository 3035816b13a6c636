// The output file of a run, replaced the way that loses nothing. Where the output does not
// exist yet, or where a new file can take the old one's place with everything it had (one
// link, its owner, group and permissions, no other attributes or flags, not a mount point),
// the text goes to a temporary file beside it that only the runner may open, which replaces
// the output only once complete: a failed or interrupted run leaves the old output as it was.
// Otherwise (more links, a colleague's file, attributes or access lists, a FIFO, a device, a
// folder the runner may not write to or only add to) the text is written into the existing
// file itself, as any program writing to that name would.
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
  // in place. POSIX: a name in `folder`; Windows: a path.
  std::string temporaryName;
  std::string target;             // what the temporary file replaces, named the same way
  bool replacesExisting = false;  // the target exists
  int folder = -1;                // POSIX: the target's folder, open (-1: none)
  int existing = -1;              // POSIX: the existing target, open for writing (-1: none)
  std::uint32_t attributes = 0;   // Windows: the replaced file's attributes, given back
};

// Opens the output `name` for writing. An existing name (a file, or a link to anything) is
// opened through the system first, the way any program writing to it opens it, so that the
// system judges permissions, links and shared folders; where it refuses, nothing is changed.
// An existing file rewritten in place is emptied here.
// Returns false when the output cannot be written; `output` then holds nothing open.
bool openOutputFile(const std::string& name, OutputFile& output);

// Closes the output. Where the text is `complete` and every write and the close succeeded,
// the temporary file (if any) is flushed to the disk, gets the final owner, group and
// permissions, and takes the output's place; where that would now lose something of the old
// output, its text is written into the old output instead. Otherwise it is removed.
// Returns true when the output now holds the complete text.
bool closeOutputFile(OutputFile& output, bool complete);

// The same in two steps, so that a run with several outputs can complete all of them before it
// puts any in place. finishOutputFile: where the text is `complete` and every write succeeded,
// the temporary file (if any) is flushed to the disk and kept, and true is returned; otherwise
// the output is closed as closeOutputFile closes it, the temporary file removed. An output
// rewritten in place is closed, and holds its text from then on.
bool finishOutputFile(OutputFile& output, bool complete);
// placeOutputFile: a finished output takes its place, as in closeOutputFile; true once it has.
bool placeOutputFile(OutputFile& output);
// discardOutputFile: an open or finished output goes without taking its place (an output
// rewritten in place keeps what has been written into it).
void discardOutputFile(OutputFile& output);

// True when the output is written into the existing file rather than replaced.
inline bool rewritesInPlace(const OutputFile& output) { return output.temporaryName.empty(); }

// For tests only: replaces the source of the random suffixes of temporary names (nullptr
// restores the real one), so that a test can know every name that will be tried.
using RandomSource = std::uint64_t (*)();
void setTemporaryNameSource(RandomSource source);

#ifdef _WIN32
// For tests only: replaces the system's ReplaceFileA (with REPLACEFILE_IGNORE_MERGE_ERRORS) in
// the replacement of an existing output (nullptr restores it). The step gets full paths and
// returns 0 for success or the system's error code, leaving the files as that error says.
using ReplaceStep = unsigned long (*)(const char* replaced, const char* replacement,
                                      const char* backup);
void setReplaceStep(ReplaceStep step);
#endif

// How many temporary names are tried before the run gives up on one.
constexpr int kTemporaryNameTries = 16;

}  // namespace trasop
