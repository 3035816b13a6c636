// Interrupts that end the run (a signal, Ctrl-C, the console closing) remove the run's
// temporary files first, then end the run as they would have.
#pragma once

#ifndef _WIN32
#include <signal.h>  // IWYU pragma: keep (sigset_t)
#endif

namespace trasop {

// Installs the handlers, once per run. A signal the caller has chosen to ignore stays ignored;
// one that already has a handler (a checker's) gets it back after the cleanup.
void installInterruptCleanup();

// A run holds at most this many temporary files at once.
constexpr int kMostTemporaryFiles = 4;

// Names a file an interrupt removes: `name` in the folder open as `folder` (POSIX; -1 for a
// name as it stands, as on Windows). The text must stay unchanged until the name is withdrawn
// with the same pointer. Call both only while interrupts are held, together with the creation,
// move or removal of that file, so that the handler never removes a file that is not the run's
// own. Returns false where kMostTemporaryFiles names are published already.
bool publishTemporaryName(const char* name, int folder = -1);
void withdrawTemporaryName(const char* name);

// Holds interrupts back for its lifetime: on POSIX the ending signals wait, on Windows the
// console handler waits. One that arrives meanwhile is handled when it ends. May be nested.
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

}  // namespace trasop
