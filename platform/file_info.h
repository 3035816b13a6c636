// What the reader asks of its input that the standard C file functions cannot answer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace trasop {

constexpr std::uint64_t kUnknownFileSize = UINT64_MAX;

// The position of the last folder separator in `path` ('/'; on Windows also '\\' and the ':'
// of a drive), or std::string::npos where it has none.
std::size_t lastSeparator(const std::string& path);

// True when the open regular file `file` has holes (a sparse file: ranges the system stores
// nothing for, read as zeros). False where it has none or the system cannot tell.
bool hasHoles(std::FILE* file);

// True when `a` and `b` name one and the same existing file (judged by the system's identity of
// the file, device and inode or volume and index, not by the names).
bool sameFile(const std::string& a, const std::string& b);

// True when `name` names an existing folder.
bool isDirectory(const std::string& name);

// The size in bytes of the open file `file` when it is a regular file (asked of the open file
// itself, not of its name); kUnknownFileSize for anything else (a pipe, a device).
std::uint64_t regularFileSize(std::FILE* file);

}  // namespace trasop
