#include "dmna/file_system.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>

#ifdef _WIN32
// The C library of Windows takes file names in the ANSI code page, the code page in which the
// command line arrives. The file system questions below use the same code page, through the
// system's "A" functions, so that every name means the same file to all of them.
#define WIN32_LEAN_AND_MEAN
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>
#endif

namespace trasop {

namespace {

// The name of the temporary file this run has created and not yet moved or removed, for the
// interrupt handler. It is published only once the file exists, while interrupts wait (see
// InterruptsHeld), so the handler never removes a file that is not the run's own. The text
// lives in pendingText; the pointer is cleared before that text changes, so the handler never
// sees a name half written.
std::string pendingText;
std::atomic<const char*> pendingName{nullptr};

void setPendingName(const std::string& name) {
  pendingName.store(nullptr);
  pendingText = name;
  pendingName.store(pendingText.c_str());
}

void clearPendingName() { pendingName.store(nullptr); }

// Random suffixes come from the system's random device, stirred with the clock so that they stay
// distinct even where that device is weak; each draw then goes through one splitmix64 step.
std::uint64_t randomDeviceBits() {
  try {
    std::random_device device;
    return (static_cast<std::uint64_t>(device()) << 32) ^ device();
  } catch (...) {
    return 0;  // No random device: the clock alone. Names stay unique through the exclusive create.
  }
}

std::uint64_t systemRandom() {
  static std::uint64_t state =
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
      randomDeviceBits();
  std::uint64_t z = (state += 0x9e3779b97f4a7c15u);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
  return z ^ (z >> 31);
}

RandomSource randomSource = systemRandom;

// The longest name that the folder `folder` holds for one file, in bytes.
std::size_t nameLimit(const std::string& folder);

// `target`, a random part and ".tmp": target.<8 hex digits>.tmp. Where that would be longer
// than the folder allows for a name, the target's own last part is cut short (down to nothing,
// which leaves .<8 hex digits>.tmp), so that the temporary file fits wherever the output does.
std::string temporaryName(const std::string& target) {
  static const char kHex[] = "0123456789abcdef";
  std::uint64_t bits = randomSource();
  std::string suffix = ".";
  for (int k = 0; k < 8; ++k, bits >>= 4) suffix += kHex[bits & 15];
  suffix += ".tmp";
#ifdef _WIN32
  const std::size_t slash = target.find_last_of("/\\:");
#else
  const std::size_t slash = target.find_last_of('/');
#endif
  const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
  const std::size_t limit = nameLimit(start == 0 ? "." : target.substr(0, start));
  const std::size_t room = limit > suffix.size() ? limit - suffix.size() : 0;
  return target.substr(0, start + std::min(target.size() - start, room)) + suffix;
}

enum class CreateOutcome : std::uint8_t { Created, NameTaken, Failed };

// The platform's own, below: creating `name` exclusively and opening it for binary writing,
// renaming a file over another, deleting one, the interrupt handler, and holding interrupts
// back while the temporary file comes and goes together with its published name.
CreateOutcome createExclusive(const std::string& name, const std::string& target, std::FILE*& file);
bool renameOver(const std::string& from, const std::string& to);
void deleteFile(const std::string& name);
void installInterruptCleanup();

// Holds interrupts back for its lifetime, where the platform delivers them in the middle of the
// run's own work; one that arrives meanwhile is delivered when it ends.
class InterruptsHeld {
 public:
  InterruptsHeld();
  ~InterruptsHeld();
  InterruptsHeld(const InterruptsHeld&) = delete;
  InterruptsHeld& operator=(const InterruptsHeld&) = delete;

 private:
#ifndef _WIN32
  // The signal mask before. <signal.h> declares the type; the include check would name glibc's
  // private header for it instead.
  sigset_t saved_;  // NOLINT(misc-include-cleaner)
#endif
};

}  // namespace

bool moveTemporaryFile(const std::string& name, const std::string& target) {
  const InterruptsHeld held;
  if (!renameOver(name, target)) return false;
  clearPendingName();
  return true;
}

void removeTemporaryFile(const std::string& name) {
  const InterruptsHeld held;
  deleteFile(name);
  clearPendingName();
}

void setTemporaryNameSource(RandomSource source) {
  randomSource = source != nullptr ? source : systemRandom;
}

std::FILE* createTemporaryFile(const std::string& target, std::string& name) {
  static const bool installed = (installInterruptCleanup(), true);
  (void)installed;
  for (int attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
    const std::string candidate = temporaryName(target);
    std::FILE* file = nullptr;
    CreateOutcome outcome;
    {
      // An interrupt waits until the file and its published name stand together.
      const InterruptsHeld held;
      outcome = createExclusive(candidate, target, file);
      if (outcome == CreateOutcome::Created) setPendingName(candidate);
    }
    if (outcome == CreateOutcome::Created) {
      name = candidate;
      return file;
    }
    if (outcome == CreateOutcome::Failed) break;
  }
  return nullptr;
}

#ifdef _WIN32

bool isDirectory(const std::string& name) {
  const DWORD attributes = GetFileAttributesA(name.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::uint64_t regularFileSize(std::FILE* file) {
  const int descriptor = _fileno(file);
  const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
  if (handle == INVALID_HANDLE_VALUE || GetFileType(handle) != FILE_TYPE_DISK) {
    return kUnknownFileSize;
  }
  const __int64 size = _filelengthi64(descriptor);
  return size < 0 ? kUnknownFileSize : static_cast<std::uint64_t>(size);
}

// Links on Windows are rare and need rights to make; the output name is used as it stands,
// and a link there is replaced by the file.
bool resolveLinks(const std::string& name, std::string& target) {
  target = name;
  return true;
}

namespace {

// Windows file systems hold names of up to 255 characters.
std::size_t nameLimit(const std::string&) { return 255; }

bool renameOver(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

void deleteFile(const std::string& name) { DeleteFileA(name.c_str()); }

CreateOutcome createExclusive(const std::string& name, const std::string&, std::FILE*& file) {
  // Shared for deletion, so that the interrupt handler can remove the file while it is open.
  const HANDLE handle =
      CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                  CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? CreateOutcome::NameTaken
                                                                       : CreateOutcome::Failed;
  }
  const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
  if (descriptor == -1) {
    CloseHandle(handle);
    DeleteFileA(name.c_str());
    return CreateOutcome::Failed;
  }
  file = _fdopen(descriptor, "wb");
  if (file == nullptr) {
    _close(descriptor);
    DeleteFileA(name.c_str());
    return CreateOutcome::Failed;
  }
  return CreateOutcome::Created;
}

// Ctrl-C, Ctrl-Break and the closing of the console: the file goes (once its last handle
// closes, as the process ends), then the system's usual handling ends the process.
BOOL WINAPI removePendingOnInterrupt(DWORD) {
  const char* name = pendingName.load();
  if (name != nullptr) DeleteFileA(name);
  return FALSE;
}

void installInterruptCleanup() { SetConsoleCtrlHandler(removePendingOnInterrupt, TRUE); }

// The console handler runs on a thread of its own: a name is published once, after its file
// exists, and does not change while published, so there is nothing to hold back.
InterruptsHeld::InterruptsHeld() = default;
InterruptsHeld::~InterruptsHeld() = default;

}  // namespace

#else

namespace fs = std::filesystem;

bool isDirectory(const std::string& name) {
  std::error_code error;
  return fs::is_directory(fs::path(name), error);
}

std::uint64_t regularFileSize(std::FILE* file) {
  struct stat status;
  if (fstat(fileno(file), &status) != 0 || !S_ISREG(status.st_mode)) return kUnknownFileSize;
  return static_cast<std::uint64_t>(status.st_size);
}

bool resolveLinks(const std::string& name, std::string& target) {
  // As many links as the system itself follows in one path before it gives up.
  constexpr int kMostLinks = 40;
  fs::path path(name);
  for (int links = 0; links <= kMostLinks; ++links) {
    std::error_code error;
    if (!fs::is_symlink(fs::symlink_status(path, error))) {
      target = path.string();
      return true;
    }
    const fs::path next = fs::read_symlink(path, error);
    if (error) return false;
    path = next.is_absolute() ? next : path.parent_path() / next;
  }
  return false;
}

namespace {

std::size_t nameLimit(const std::string& folder) {
  const long limit = pathconf(folder.c_str(), _PC_NAME_MAX);
  return limit > 0 ? static_cast<std::size_t>(limit) : 255;  // 255: Linux's file systems
}

// Replaces an existing file in one step: the old output stays until the new one is there.
bool renameOver(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

void deleteFile(const std::string& name) { unlink(name.c_str()); }

CreateOutcome createExclusive(const std::string& name, const std::string& target,
                              std::FILE*& file) {
  // O_EXCL: fails on any existing name, a link (dangling or not) included, so nothing that
  // stands there is ever followed or overwritten. 0666 less the umask, as for any new file.
  const int descriptor = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (descriptor < 0) return errno == EEXIST ? CreateOutcome::NameTaken : CreateOutcome::Failed;
  // A rewrite in place would keep the older output's permissions; so does its replacement.
  struct stat older;
  if (stat(target.c_str(), &older) == 0 && S_ISREG(older.st_mode)) {
    (void)fchmod(descriptor, older.st_mode & 0777);
  }
  file = fdopen(descriptor, "wb");
  if (file == nullptr) {
    close(descriptor);
    unlink(name.c_str());
    return CreateOutcome::Failed;
  }
  return CreateOutcome::Created;
}

// Every signal whose default action ends the process and that a program may catch.
constexpr int kEndingSignals[] = {SIGHUP,  SIGINT,  SIGQUIT,   SIGTERM, SIGPIPE, SIGXFSZ,
                                  SIGXCPU, SIGALRM, SIGVTALRM, SIGPROF, SIGUSR1, SIGUSR2};

sigset_t endingSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (const int signal : kEndingSignals) sigaddset(&set, signal);
  return set;
}

// Async-signal-safe: one unlink, the default action back, and the signal once more. The
// signal, blocked while this runs (as are the others above), waits and then ends the process
// the way it would have without this handler (with a core dump where that is its default).
void removePendingOnSignal(int signal) {
  const char* name = pendingName.load();
  if (name != nullptr) unlink(name);
  struct sigaction action = {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
  static_cast<void>(raise(signal));
}

void installInterruptCleanup() {
  for (const int signal : kEndingSignals) {
    struct sigaction current;
    // A signal the caller has chosen to ignore (nohup, a job's settings) stays ignored.
    if (sigaction(signal, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) continue;
    struct sigaction action = {};
    action.sa_handler = removePendingOnSignal;
    action.sa_mask = endingSignals();
    sigaction(signal, &action, nullptr);
  }
}

// The ending signals wait.
InterruptsHeld::InterruptsHeld() {
  const sigset_t set = endingSignals();
  sigprocmask(SIG_BLOCK, &set, &saved_);
}

InterruptsHeld::~InterruptsHeld() { sigprocmask(SIG_SETMASK, &saved_, nullptr); }

}  // namespace

#endif

}  // namespace trasop
