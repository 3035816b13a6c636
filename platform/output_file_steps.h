// The steps of replacing the output: those shared by every platform, and those each platform
// gives in its own way (output_file_posix.cpp, output_file_windows.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/output_file.h"

namespace trasop {

// Shared.

// Creates a new, empty file of this run's own beside `target` (named as output.target is) under
// a name made of it, a random suffix and ".tmp", exclusively, that only the runner may open: a
// name that anything holds, a link included, is passed over for another. Sets output.file,
// output.temporaryName and output.target, and publishes the name to the interrupt handler.
// Returns false when no such file could be created.
bool createTemporaryFile(const std::string& target, OutputFile& output);

// `target`, a random part and ".tmp", cut so that its last part fits in `limit` bytes.
std::string temporaryName(const std::string& target, std::size_t limit);

// Closes and removes the temporary file (if any), and withdraws its name.
void removeTemporaryFile(OutputFile& output);

// The temporary file has taken the output's place: its name is withdrawn and the file closed.
// Call while interrupts are held. Returns whether the close succeeded.
bool settleTemporaryFile(OutputFile& output);

// The platform's own.

enum class CreateOutcome : std::uint8_t { Created, NameTaken, Failed };

// Creates `name` (in output.folder on POSIX) exclusively, for the runner alone, and opens it
// for binary writing.
CreateOutcome createExclusive(const OutputFile& output, const std::string& name, std::FILE*& file);

// The longest name that the output's folder holds for one file, in bytes.
std::size_t nameLimit(const OutputFile& output);

// The complete text in output.file, flushed by the C library, goes to the disk. Returns false
// where the disk reports a failure.
bool flushTemporaryFile(OutputFile& output);

// The complete text, flushed to the disk, becomes the output: with the final owner, group and
// permissions, in one step. Returns true once the output holds
// it, with the temporary file settled or removed; false leaves the old output as it was and the
// temporary file for removeTemporaryFile.
bool commitTemporaryFile(OutputFile& output);

void deleteFile(const OutputFile& output, const std::string& name);

// Closes what the platform held open for the output, other than output.file.
void releaseOutput(OutputFile& output);

}  // namespace trasop
