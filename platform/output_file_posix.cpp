// Replacing the output on POSIX systems. The system judges whether the output may be written,
// by opening its name; the tool then renames a new file over it only where the new file can
// carry everything the old one had, and otherwise writes into the old file itself.
#ifndef _WIN32

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <string>

#include "platform/output_file.h"
#include "platform/output_file_steps.h"

#ifdef __linux__
#include <sys/xattr.h>
#endif

namespace trasop {

namespace {

bool sameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// True when the open file `descriptor` has extended attributes (an access list among them), or
// when that cannot be told: a new file could not carry them over.
bool hasExtendedAttributes(int descriptor) {
#ifdef __linux__
  const ssize_t size = flistxattr(descriptor, nullptr, 0);
  return size != 0 && !(size < 0 && errno == ENOTSUP);
#else
  (void)descriptor;
  return true;
#endif
}

// Where the opened output `opened` lies, for a temporary file beside it: `name` itself, or,
// where `name` is a link, the path under which the system shows the opened file. Asked only
// after the system has opened the name, so that it is the system that followed the links.
bool locateOpenedFile(const std::string& name, int descriptor, const struct stat& opened,
                      std::string& path) {
  struct stat named;
  if (lstat(name.c_str(), &named) == 0 && sameFile(named, opened)) {
    path = name;
    return true;
  }
#ifdef __linux__
  char link[4096];  // the longest path Linux takes
  const std::string self = "/proc/self/fd/" + std::to_string(descriptor);
  const ssize_t length = readlink(self.c_str(), link, sizeof link);
  if (length <= 0 || static_cast<std::size_t>(length) >= sizeof link) return false;
  path.assign(link, static_cast<std::size_t>(length));
  struct stat shown;
  return lstat(path.c_str(), &shown) == 0 && sameFile(shown, opened);
#else
  return false;
#endif
}

// True when a new file at `path` loses nothing of the opened output: a regular file with one
// link and no extended attributes.
bool renameLosesNothing(int descriptor, const struct stat& opened) {
  return S_ISREG(opened.st_mode) && opened.st_nlink == 1 && !hasExtendedAttributes(descriptor);
}

// Gives the temporary file the old output's owner, group and permissions (the group before the
// bits, which a change of owner or group may clear). False where the system does not allow it,
// or where the new file has attributes of its own (a folder's default access list).
bool takeOverOwnership(std::FILE* file, const struct stat& opened) {
  const int descriptor = fileno(file);
  return fchown(descriptor, opened.st_uid, opened.st_gid) == 0 &&
         fchmod(descriptor, opened.st_mode & 07777) == 0 && !hasExtendedAttributes(descriptor);
}

// Writes into the opened output itself: a regular file is emptied first, a FIFO or a device
// takes the text as it comes.
bool rewriteInPlace(int descriptor, const struct stat& opened, OutputFile& output) {
  std::FILE* const file =
      S_ISREG(opened.st_mode) && ftruncate(descriptor, 0) != 0 ? nullptr : fdopen(descriptor, "wb");
  if (file == nullptr) {
    close(descriptor);
    return false;
  }
  output.file = file;
  output.target.clear();
  output.replacesExisting = true;
  return true;
}

}  // namespace

bool openOutputFile(const std::string& name, OutputFile& output) {
  // Neither created nor emptied yet: the system only says whether it may be written.
  int descriptor = open(name.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (descriptor < 0 && errno == ENOENT) {
    struct stat named;
    if (lstat(name.c_str(), &named) != 0) {
      // A new output.
      return errno == ENOENT && createTemporaryFile(name, output);
    }
    // A link that leads nowhere: the system creates the file it names, where it allows that.
    if (S_ISLNK(named.st_mode)) {
      descriptor = open(name.c_str(), O_WRONLY | O_CREAT | O_NOCTTY | O_CLOEXEC, 0666);
    }
  }
  struct stat opened;
  if (descriptor < 0) return false;
  if (fstat(descriptor, &opened) != 0) {
    close(descriptor);
    return false;
  }
  std::string path;
  if (renameLosesNothing(descriptor, opened) && locateOpenedFile(name, descriptor, opened, path) &&
      createTemporaryFile(path, output)) {
    if (takeOverOwnership(output.file, opened)) {
      output.replacesExisting = true;
      close(descriptor);
      return true;
    }
    removeTemporaryFile(output);
  }
  return rewriteInPlace(descriptor, opened, output);
}

std::size_t nameLimit(const std::string& folder) {
  const long limit = pathconf(folder.c_str(), _PC_NAME_MAX);
  return limit > 0 ? static_cast<std::size_t>(limit) : 255;  // 255: Linux's file systems
}

CreateOutcome createExclusive(const std::string& name, std::FILE*& file) {
  // O_EXCL: fails on any existing name, a link (dangling or not) included, so nothing that
  // stands there is ever followed or overwritten. 0666 less the umask, as for any new file.
  const int descriptor = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (descriptor < 0) return errno == EEXIST ? CreateOutcome::NameTaken : CreateOutcome::Failed;
  file = fdopen(descriptor, "wb");
  if (file == nullptr) {
    close(descriptor);
    unlink(name.c_str());
    return CreateOutcome::Failed;
  }
  return CreateOutcome::Created;
}

// Replaces the old output in one step: it stays whole until the new one is there.
bool moveIntoPlace(const OutputFile& output) {
  return std::rename(output.temporaryName.c_str(), output.target.c_str()) == 0;
}

void deleteFile(const std::string& name) { unlink(name.c_str()); }

}  // namespace trasop

#endif
