// Replacing the output on Windows. An existing output is replaced with ReplaceFileA, which
// keeps the replaced file's security; a new one is moved into place. An output that another
// program holds open, sharing writing, is rewritten in place, as any program writing to that
// name would. Names are in the ANSI code page, as the C library of Windows takes them.
#ifdef _WIN32

#define WIN32_LEAN_AND_MEAN
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/output_file.h"
#include "platform/output_file_steps.h"

namespace trasop {

namespace {

// The attributes that a replaced file gives its successor: ReplaceFileA is documented to keep
// them, but not every implementation keeps all.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// Opens `handle` as a C file for binary writing; closes it where that fails.
std::FILE* openHandle(HANDLE handle) {
  const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
  if (descriptor == -1) {
    CloseHandle(handle);
    return nullptr;
  }
  std::FILE* const file = _fdopen(descriptor, "wb");
  if (file == nullptr) _close(descriptor);
  return file;
}

std::string fullPath(const std::string& name) {
  char path[MAX_PATH];
  const DWORD length = GetFullPathNameA(name.c_str(), MAX_PATH, path, nullptr);
  return length > 0 && length < MAX_PATH ? std::string(path, length) : name;
}

}  // namespace

bool openOutputFile(const std::string& name, OutputFile& output) {
  const DWORD attributes = GetFileAttributesA(name.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    // A new output, where the folder exists.
    return GetLastError() == ERROR_FILE_NOT_FOUND && createTemporaryFile(name, output);
  }
  if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) return false;
  // May it be written, and is nobody else holding it? Shared with nobody, the open fails where
  // another program has the file open.
  const HANDLE probe = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
  if (probe != INVALID_HANDLE_VALUE) {
    CloseHandle(probe);
    if (createTemporaryFile(name, output)) {
      output.replacesExisting = true;
      output.attributes = attributes;
      return true;
    }
  } else if (GetLastError() != ERROR_SHARING_VIOLATION) {
    return false;
  }
  // Held open by a program that shares writing (a viewer), or no room for a new file beside
  // it: the text goes into the file itself.
  const HANDLE handle = CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  output.file = openHandle(handle);
  output.replacesExisting = true;
  return output.file != nullptr;
}

// Windows file systems hold names of up to 255 characters.
std::size_t nameLimit(const std::string&) { return 255; }

CreateOutcome createExclusive(const std::string& name, std::FILE*& file) {
  // Shared for deletion, so that the interrupt handler can remove the file while it is open.
  const HANDLE handle =
      CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                  CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? CreateOutcome::NameTaken
                                                                       : CreateOutcome::Failed;
  }
  file = openHandle(handle);
  if (file == nullptr) {
    DeleteFileA(name.c_str());
    return CreateOutcome::Failed;
  }
  return CreateOutcome::Created;
}

bool moveIntoPlace(const OutputFile& output) {
  const char* const target = output.target.c_str();
  if (!output.replacesExisting) {
    return MoveFileExA(output.temporaryName.c_str(), target, MOVEFILE_REPLACE_EXISTING) != 0;
  }
  // ReplaceFileA wants full paths: some implementations refuse a bare file name.
  if (ReplaceFileA(fullPath(output.target).c_str(), fullPath(output.temporaryName).c_str(), nullptr,
                   REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) == 0) {
    return false;
  }
  const DWORD kept = output.attributes & kKeptAttributes;
  SetFileAttributesA(target, kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL);
  return true;
}

void deleteFile(const std::string& name) { DeleteFileA(name.c_str()); }

}  // namespace trasop

#endif
