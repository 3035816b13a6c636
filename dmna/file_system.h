// The few questions and changes about files that the standard C file functions cannot answer,
// for file names given exactly as they stood on the command line.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace trasop {

constexpr std::uint64_t kUnknownFileSize = UINT64_MAX;

// True when `name` names an existing folder.
bool isDirectory(const std::string& name);

// The size in bytes of the open file `file` when it is a regular file (asked of the open file
// itself, not of its name); kUnknownFileSize for anything else (a pipe, a device).
std::uint64_t regularFileSize(std::FILE* file);

// The file that a write to `name` lands on: `name` itself, or, where `name` is a symbolic
// link, the file at the end of its chain of links (which need not exist yet). Returns false
// when the chain cannot be followed (a loop, an unreadable link).
bool resolveLinks(const std::string& name, std::string& target);

// Creates a new, empty file of this run's own beside `target`, under a name made of `target`,
// a random suffix and ".tmp", and opens it for binary writing. The file is created exclusively:
// a name that anything already holds, a link included, is never opened but passed over for
// another. The file gets the permissions of a new file, or those of `target` where that is an
// existing regular file. Until it is moved or removed, an interrupt of the run removes it.
// Returns the open file and its name, or nullptr when no file could be created.
std::FILE* createTemporaryFile(const std::string& target, std::string& name);

// Moves the temporary file `name` onto `target`, replacing a file of that name in one step.
// Returns true on success; the temporary file is the caller's to remove on failure.
bool moveTemporaryFile(const std::string& name, const std::string& target);

// Removes the temporary file `name`, if it is still there.
void removeTemporaryFile(const std::string& name);

// For tests only: replaces the source of the random suffixes of temporary names (nullptr
// restores the real one), so that a test can know every name that will be tried.
using RandomSource = std::uint64_t (*)();
void setTemporaryNameSource(RandomSource source);

// How many names createTemporaryFile tries before it gives up.
constexpr int kTemporaryNameTries = 16;

}  // namespace trasop
