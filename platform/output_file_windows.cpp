// Replacing the output on Windows. An existing output is replaced with ReplaceFileA, which
// keeps the replaced file's security and attributes, with a backup name so that a partial
// failure never loses both files; a new one is moved into place. An output that another program
// holds open sharing writing, or that may be written but not deleted, is rewritten in place, as
// any program writing to that name would. Names are in the ANSI code page, as the C library of
// Windows takes them.
#ifdef _WIN32

#define WIN32_LEAN_AND_MEAN
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After <windows.h>, which they need.
#include <aclapi.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/interrupts.h"
#include "platform/output_file.h"
#include "platform/output_file_steps.h"

namespace trasop {

namespace {

// The attributes that a replaced file gives its successor: ReplaceFileA is documented to keep
// them, but not every implementation keeps all. The archive attribute is set in any case: the
// file has changed, and backups by that attribute must take it.
constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// A scanner or an indexer may hold a file that was just closed for a moment: the replace is
// tried this often, this many milliseconds apart, before the run gives up.
constexpr int kReplaceTries = 10;
constexpr DWORD kReplacePause = 100;

DWORD systemReplace(const char* replaced, const char* replacement, const char* backup) {
  return ReplaceFileA(replaced, replacement, backup, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                      nullptr) != 0
             ? ERROR_SUCCESS
             : GetLastError();
}

ReplaceStep replaceStep = systemReplace;

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

// A security descriptor that lets only the runner open a file, with nothing inherited from the
// folder: for the temporary file until it replaces the output. Null where it cannot be made
// (the file then gets the folder's inherited access, as any new file does).
SECURITY_ATTRIBUTES* runnerOnly() {
  static std::vector<unsigned char> user;
  static std::vector<unsigned char> list;
  static SECURITY_DESCRIPTOR descriptor;
  static SECURITY_ATTRIBUTES attributes;
  static const bool made = [] {
    HANDLE token = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token) == 0) return false;
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    user.resize(size);
    const bool got = size > 0 && GetTokenInformation(token, TokenUser, user.data(), size, &size);
    CloseHandle(token);
    if (!got) return false;
    PSID const sid = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
    list.resize(sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(sid));
    PACL const acl = reinterpret_cast<PACL>(list.data());
    if (InitializeAcl(acl, static_cast<DWORD>(list.size()), ACL_REVISION) == 0 ||
        AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, sid) == 0 ||
        InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) == 0 ||
        SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE) == 0 ||
        SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED) == 0) {
      return false;
    }
    attributes.nLength = sizeof attributes;
    attributes.lpSecurityDescriptor = &descriptor;
    attributes.bInheritHandle = FALSE;
    return true;
  }();
  return made ? &attributes : nullptr;
}

// Gives a new output the access that the folder passes on to its files, in place of the
// runner-only access of the temporary file. Where that fails, the file stays the runner's.
void inheritFolderAccess(const std::string& name) {
  ACL empty;
  if (InitializeAcl(&empty, sizeof empty, ACL_REVISION) == 0) return;
  std::string path = fullPath(name);
  SetNamedSecurityInfoA(&path[0], SE_FILE_OBJECT,
                        DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                        nullptr, &empty, nullptr);
}

// A name beside `target` that nothing holds, for the replaced file while it is being replaced.
std::string unusedName(const std::string& target) {
  for (int attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
    const std::string name = temporaryName(target, nameLimit(OutputFile()));
    if (GetFileAttributesA(name.c_str()) == INVALID_FILE_ATTRIBUTES &&
        GetLastError() == ERROR_FILE_NOT_FOUND) {
      return name;
    }
  }
  return {};
}

bool mayRetry(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
         error == ERROR_LOCK_VIOLATION || error == ERROR_UNABLE_TO_MOVE_REPLACEMENT ||
         error == ERROR_UNABLE_TO_REMOVE_REPLACED;
}

// Deletes `name`, waiting a little for a program that holds it.
void deleteSoon(const std::string& name) {
  for (int attempt = 0; attempt < kReplaceTries; ++attempt) {
    if (DeleteFileA(name.c_str()) != 0 || GetLastError() == ERROR_FILE_NOT_FOUND) return;
    Sleep(kReplacePause);
  }
}

// The output holds the new text: the backup goes, the attributes come back.
bool replaced(OutputFile& output, const std::string& backup) {
  deleteSoon(backup);
  SetFileAttributesA(output.target.c_str(),
                     (output.attributes & kKeptAttributes) | FILE_ATTRIBUTE_ARCHIVE);
  return settleTemporaryFile(output);
}

// Replaces the existing output, trying again while another program holds either file. Every
// outcome leaves the old output or the new text under the output's name: where the replace
// stopped halfway (the old file moved to the backup name, the new one still at its own), the new
// file is moved into place, or else the old one is put back.
bool replaceExisting(OutputFile& output) {
  const std::string target = fullPath(output.target);
  const std::string replacement = fullPath(output.temporaryName);
  const std::string backup = unusedName(target);
  if (backup.empty()) return false;
  for (int attempt = 0; attempt < kReplaceTries; ++attempt) {
    if (attempt > 0) Sleep(kReplacePause);
    const DWORD error = replaceStep(target.c_str(), replacement.c_str(), backup.c_str());
    if (error == ERROR_SUCCESS) return replaced(output, backup);
    if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) {
      if (MoveFileExA(replacement.c_str(), target.c_str(), 0) != 0) return replaced(output, backup);
      if (MoveFileExA(backup.c_str(), target.c_str(), 0) != 0) return false;
      // Neither moves: both files stay, the old one under the backup name, and the new one.
      settleTemporaryFile(output);
      return false;
    }
    if (!mayRetry(error)) return false;
  }
  return false;
}

// A new output: moved into place, trying again while another program holds the name.
bool moveNew(OutputFile& output) {
  for (int attempt = 0; attempt < kReplaceTries; ++attempt) {
    if (attempt > 0) Sleep(kReplacePause);
    if (MoveFileExA(output.temporaryName.c_str(), output.target.c_str(),
                    MOVEFILE_REPLACE_EXISTING) != 0) {
      return settleTemporaryFile(output);
    }
    if (!mayRetry(GetLastError())) return false;
  }
  return false;
}

// Opens an existing output to be written in place, emptied, sharing reading and writing with
// the programs that hold it.
bool openInPlace(const std::string& name, OutputFile& output) {
  const HANDLE handle = CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  output.file = openHandle(handle);
  output.replacesExisting = true;
  return output.file != nullptr;
}

}  // namespace

void setReplaceStep(ReplaceStep step) { replaceStep = step != nullptr ? step : systemReplace; }

bool openOutputFile(const std::string& name, OutputFile& output) {
  const DWORD attributes = GetFileAttributesA(name.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    // A new output, where the folder exists.
    return GetLastError() == ERROR_FILE_NOT_FOUND && createTemporaryFile(name, output);
  }
  if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) return false;
  // May it be written and deleted (which the replace does), and is nobody else holding it?
  // Shared with nobody, the open fails where another program has the file open.
  const HANDLE probe = CreateFileA(name.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
  if (probe == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    // Held open by a program that shares writing (a viewer), or writable but not deletable:
    // the text goes into the file itself, where the system allows that.
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED) {
      return openInPlace(name, output);
    }
    return false;
  }
  CloseHandle(probe);
  if (createTemporaryFile(name, output)) {
    output.replacesExisting = true;
    output.attributes = attributes;
    return true;
  }
  // No room for a new file beside it.
  return openInPlace(name, output);
}

// Windows file systems hold names of up to 255 characters.
std::size_t nameLimit(const OutputFile&) { return 255; }

CreateOutcome createExclusive(const OutputFile&, const std::string& name, std::FILE*& file) {
  // Shared with nobody but a deletion, so that the interrupt handler can remove the file
  // while it is open; only the runner may open it at all.
  const HANDLE handle = CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, runnerOnly(),
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

bool flushTemporaryFile(OutputFile& output) {
  // On the disk before it replaces anything: a power cut then leaves the old output or the new.
  // Closed too, for a file that is open cannot be moved over another.
  const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(output.file)));
  const bool flushed = FlushFileBuffers(handle) != 0;
  const bool closed = std::fclose(output.file) == 0;
  output.file = nullptr;
  return flushed && closed;
}

bool commitTemporaryFile(OutputFile& output) {
  // The console handler waits until the file is in place or known to have stayed.
  const InterruptsHeld held;
  if (output.replacesExisting) return replaceExisting(output);
  inheritFolderAccess(output.temporaryName);
  return moveNew(output);
}

void deleteFile(const OutputFile&, const std::string& name) { DeleteFileA(name.c_str()); }

void releaseOutput(OutputFile&) {}

}  // namespace trasop

#endif
