#include "dmna/file_system.h"

#include <filesystem>
#include <system_error>

namespace trasop {

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
  // Unlike std::rename, this replaces an existing file on every platform.
  std::error_code error;
  fs::rename(fs::path(from), fs::path(to), error);
  return !error;
}

void removeFile(const std::string& name) {
  std::error_code error;
  fs::remove(fs::path(name), error);
}

}  // namespace trasop
