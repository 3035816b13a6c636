#include "platform/interrupts.h"

#include <atomic>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace trasop {

namespace {

// The temporary files of this run that exist and have not yet been moved or removed.
struct Published {
  std::atomic<const char*> name{nullptr};
  std::atomic<int> folder{-1};
};
Published published[kMostTemporaryFiles];

#ifdef _WIN32

// The console handler runs on a thread of its own; this lock keeps it from the run's own
// create, replace and remove of the temporary file, and those from it.
struct ConsoleLock {
  CRITICAL_SECTION section;
  ConsoleLock() { InitializeCriticalSection(&section); }
};
ConsoleLock consoleLock;

// Ctrl-C, Ctrl-Break and the closing of the console: the file goes (once its last handle
// closes, as the process ends), then the system's usual handling ends the process.
BOOL WINAPI removePublishedOnInterrupt(DWORD) {
  EnterCriticalSection(&consoleLock.section);
  for (Published& file : published) {
    const char* name = file.name.exchange(nullptr);
    if (name != nullptr) DeleteFileA(name);
  }
  LeaveCriticalSection(&consoleLock.section);
  return FALSE;
}

void installHandlers() { SetConsoleCtrlHandler(removePublishedOnInterrupt, TRUE); }

#else

// Every signal whose default action ends the process or dumps core, SIGKILL and SIGSTOP aside
// (they cannot be caught), the real-time signals included.
template <typename Visit>
void forEachEndingSignal(Visit visit) {
  static constexpr int kSignals[] = {
      SIGHUP,    SIGINT,  SIGQUIT, SIGILL,  SIGTRAP, SIGABRT, SIGBUS,    SIGFPE,  SIGUSR1, SIGSEGV,
      SIGUSR2,   SIGPIPE, SIGALRM, SIGTERM, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF, SIGSYS,
#ifdef __linux__
      SIGSTKFLT, SIGIO,   SIGPWR,  // Linux's own; SIGIO is SIGPOLL there
#endif
  };
  for (const int signal : kSignals) visit(signal);
#ifdef SIGRTMIN
  for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) visit(signal);
#endif
}

// What each signal did before the cleanup was installed: it does that again afterwards.
constexpr int kSignalSlots = 128;
struct sigaction previousAction[kSignalSlots];

// <signal.h> declares sigset_t; the include check would name glibc's private header instead.
sigset_t endingSignals() {  // NOLINT(misc-include-cleaner)
  sigset_t set;
  sigemptyset(&set);
  forEachEndingSignal([&set](int signal) { sigaddset(&set, signal); });
  return set;
}

// Async-signal-safe: the run's temporary files unlinked, the earlier action back, and the
// signal once more. The signal, blocked while this runs (as are the other ending signals),
// waits and then does what it would have done without this handler: end the process (with a
// core dump where that is its default), or reach the handler that was there before (a
// checker's).
void removePublishedOnSignal(int signal) {
  const int savedErrno = errno;
  for (Published& file : published) {
    const char* name = file.name.exchange(nullptr);
    if (name == nullptr) continue;
    const int folder = file.folder.load();
    (void)(folder >= 0 ? unlinkat(folder, name, 0) : unlink(name));
  }
  sigaction(signal, &previousAction[signal], nullptr);
  static_cast<void>(raise(signal));
  errno = savedErrno;
}

void installHandlers() {
  const sigset_t mask = endingSignals();
  forEachEndingSignal([&mask](int signal) {
    if (signal >= kSignalSlots) return;
    struct sigaction& previous = previousAction[signal];
    // A signal the caller has chosen to ignore (nohup, a job's settings) stays ignored.
    if (sigaction(signal, nullptr, &previous) != 0 || previous.sa_handler == SIG_IGN) return;
    struct sigaction action = {};
    action.sa_handler = removePublishedOnSignal;
    action.sa_mask = mask;
    sigaction(signal, &action, nullptr);
  });
}

#endif

}  // namespace

void installInterruptCleanup() {
  static const bool installed = (installHandlers(), true);
  (void)installed;
}

bool publishTemporaryName(const char* name, int folder) {
  for (Published& file : published) {
    if (file.name.load() != nullptr) continue;
    file.folder.store(folder);
    file.name.store(name);
    return true;
  }
  return false;
}

void withdrawTemporaryName(const char* name) {
  for (Published& file : published) {
    if (file.name.load() == name) file.name.store(nullptr);
  }
}

#ifdef _WIN32

InterruptsHeld::InterruptsHeld() { EnterCriticalSection(&consoleLock.section); }
InterruptsHeld::~InterruptsHeld() { LeaveCriticalSection(&consoleLock.section); }

#else

InterruptsHeld::InterruptsHeld() {
  const sigset_t set = endingSignals();
  sigprocmask(SIG_BLOCK, &set, &saved_);
}

InterruptsHeld::~InterruptsHeld() { sigprocmask(SIG_SETMASK, &saved_, nullptr); }

#endif

}  // namespace trasop
