// A colleague watching a shared folder: every file created in it is opened at once, for writing
// and for reading, by name. Each open that succeeds is a descriptor on a file that another
// user's run was still writing.
//   watch_opens FOLDER READY
// Writes READY once it watches, then runs until SIGTERM; prints each successful open and exits
// with 1 if there was one, 0 otherwise.
#include <fcntl.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/poll.h>  // (poll.h only includes it)
#include <unistd.h>

#include <cstdio>
#include <initializer_list>

namespace {

volatile sig_atomic_t stopped = 0;
void stop(int) { stopped = 1; }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  struct sigaction action = {};
  action.sa_handler = stop;
  sigaction(SIGTERM, &action, nullptr);
  const int folder = open(argv[1], O_RDONLY | O_DIRECTORY);
  const int watch = inotify_init1(IN_CLOEXEC);
  if (folder < 0 || watch < 0 || inotify_add_watch(watch, argv[1], IN_CREATE) < 0) return 2;
  std::FILE* ready = std::fopen(argv[2], "w");
  if (ready == nullptr || std::fclose(ready) != 0) return 2;
  int opened = 0;
  alignas(inotify_event) char events[64 * 1024];
  while (!stopped) {
    pollfd waiting = {watch, POLLIN, 0};
    if (poll(&waiting, 1, 100) <= 0) continue;
    const ssize_t got = read(watch, events, sizeof events);
    for (ssize_t at = 0; at < got;) {
      const auto* event = reinterpret_cast<const inotify_event*>(events + at);
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      if (event->len == 0) continue;
      for (const int how : {O_RDWR, O_WRONLY, O_RDONLY}) {
        const int descriptor = openat(folder, event->name, how | O_NONBLOCK | O_CLOEXEC);
        if (descriptor < 0) continue;
        std::printf("opened %s (%s)\n", event->name, how == O_RDONLY ? "reading" : "writing");
        close(descriptor);
        ++opened;
        break;
      }
    }
  }
  return opened == 0 ? 0 : 1;
}
