#include "platform/interrupts.h"

#include <atomic>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <signal.h>
#include <unistd.h>
#endif

namespace trasop {

namespace {

// The temporary file of this run that exists and has not yet been moved or removed.
std::atomic<const char*> publishedName{nullptr};

#ifdef _WIN32

// Ctrl-C, Ctrl-Break and the closing of the console: the file goes (once its last handle
// closes, as the process ends), then the system's usual handling ends the process.
BOOL WINAPI removePublishedOnInterrupt(DWORD) {
  const char* name = publishedName.load();
  if (name != nullptr) DeleteFileA(name);
  return FALSE;
}

void installHandlers() { SetConsoleCtrlHandler(removePublishedOnInterrupt, TRUE); }

#else

// Every signal whose default action ends the process and that a program may catch.
constexpr int kEndingSignals[] = {SIGHUP,  SIGINT,  SIGQUIT,   SIGTERM, SIGPIPE, SIGXFSZ,
                                  SIGXCPU, SIGALRM, SIGVTALRM, SIGPROF, SIGUSR1, SIGUSR2};

// <signal.h> declares sigset_t; the include check would name glibc's private header instead.
sigset_t endingSignals() {  // NOLINT(misc-include-cleaner)
  sigset_t set;
  sigemptyset(&set);
  for (const int signal : kEndingSignals) sigaddset(&set, signal);
  return set;
}

// Async-signal-safe: one unlink, the default action back, and the signal once more. The
// signal, blocked while this runs (as are the others above), waits and then ends the process
// the way it would have without this handler (with a core dump where that is its default).
void removePublishedOnSignal(int signal) {
  const char* name = publishedName.load();
  if (name != nullptr) unlink(name);
  struct sigaction action = {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
  static_cast<void>(raise(signal));
}

void installHandlers() {
  for (const int signal : kEndingSignals) {
    struct sigaction current;
    // A signal the caller has chosen to ignore (nohup, a job's settings) stays ignored.
    if (sigaction(signal, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) continue;
    struct sigaction action = {};
    action.sa_handler = removePublishedOnSignal;
    action.sa_mask = endingSignals();
    sigaction(signal, &action, nullptr);
  }
}

#endif

}  // namespace

void installInterruptCleanup() {
  static const bool installed = (installHandlers(), true);
  (void)installed;
}

void publishTemporaryName(const char* name) { publishedName.store(name); }

#ifdef _WIN32

// The console handler runs on a thread of its own and reads a name that does not change while
// it is published: there is nothing to hold back.
InterruptsHeld::InterruptsHeld() = default;
InterruptsHeld::~InterruptsHeld() = default;

#else

// The ending signals wait.
InterruptsHeld::InterruptsHeld() {
  const sigset_t set = endingSignals();
  sigprocmask(SIG_BLOCK, &set, &saved_);
}

InterruptsHeld::~InterruptsHeld() { sigprocmask(SIG_SETMASK, &saved_, nullptr); }

#endif

}  // namespace trasop
