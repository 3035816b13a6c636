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

// Creates a new, empty file of this run's own beside `target` under a name made of it, a
// random suffix and ".tmp", exclusively: a name that anything holds, a link included, is
// passed over for another. Sets output.file and output.temporaryName, and publishes the name
// to the interrupt handler. Returns false when no such file could be created.
bool createTemporaryFile(const std::string& target, OutputFile& output);

// Closes and removes the temporary file, and withdraws its name.
void removeTemporaryFile(OutputFile& output);

// The platform's own.

enum class CreateOutcome : std::uint8_t { Created, NameTaken, Failed };

// Creates `name` exclusively and opens it for binary writing.
CreateOutcome createExclusive(const std::string& name, std::FILE*& file);

// The longest name that the folder `folder` holds for one file, in bytes.
std::size_t nameLimit(const std::string& folder);

// The closed, complete temporary file takes the place of output.target.
bool moveIntoPlace(const OutputFile& output);

void deleteFile(const std::string& name);

}  // namespace trasop
