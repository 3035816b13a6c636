// The few questions and changes about files that the standard C file functions cannot answer,
// for file names given exactly as they stood on the command line.
#pragma once

#include <cstdint>
#include <string>

namespace trasop {

constexpr std::uint64_t kUnknownFileSize = UINT64_MAX;

// True when `name` names an existing folder.
bool isDirectory(const std::string& name);

// The size in bytes of the regular file `name`; kUnknownFileSize for anything else.
std::uint64_t regularFileSize(const std::string& name);

// Moves the file `from` to the name `to`, replacing a file of that name. True on success.
bool replaceFile(const std::string& from, const std::string& to);

// Removes the file `name` if it exists.
void removeFile(const std::string& name);

}  // namespace trasop
