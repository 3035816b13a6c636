#include "dmna/file_system.h"

#ifdef _WIN32
// The C library of Windows takes file names in the ANSI code page, the code page in which the
// command line arrives. The file system questions below use the same code page, through the
// system's "A" functions, so that every name means the same file to all of them.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <filesystem>
#include <system_error>
#endif

namespace trasop {

#ifdef _WIN32

bool isDirectory(const std::string& name) {
  const DWORD attributes = GetFileAttributesA(name.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::uint64_t regularFileSize(const std::string& name) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(name.c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return kUnknownFileSize;
  }
  return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool replaceFile(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

void removeFile(const std::string& name) { DeleteFileA(name.c_str()); }

#else

namespace fs = std::filesystem;

bool isDirectory(const std::string& name) {
  std::error_code error;
  return fs::is_directory(fs::path(name), error);
}

std::uint64_t regularFileSize(const std::string& name) {
  std::error_code error;
  const fs::path path(name);
  if (!fs::is_regular_file(path, error)) return kUnknownFileSize;
  const std::uintmax_t size = fs::file_size(path, error);
  return error ? kUnknownFileSize : static_cast<std::uint64_t>(size);
}

bool replaceFile(const std::string& from, const std::string& to) {
  // Replaces an existing file in one step: the old output stays until the new one is there.
  std::error_code error;
  fs::rename(fs::path(from), fs::path(to), error);
  return !error;
}

void removeFile(const std::string& name) {
  std::error_code error;
  fs::remove(fs::path(name), error);
}

#endif

}  // namespace trasop
