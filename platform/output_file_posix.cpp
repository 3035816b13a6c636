// Replacing the output on POSIX systems. The system judges whether an existing output may be
// written, by opening its name as any program writing to it does; the tool then renames a new
// file over it only where the new file can carry everything the old one had, and otherwise
// writes into the old file itself. Everything after the first look at the name is done
// relative to the output's folder, held open, so that a folder renamed meanwhile still gets its
// result and loses its temporary file.
#ifndef _WIN32

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/file_traits_posix.h"
#include "platform/interrupts.h"
#include "platform/output_file.h"
#include "platform/output_file_steps.h"

namespace trasop {

namespace {

// How often the name of an existing output is looked at again where it changed meanwhile.
constexpr int kNameLookTries = 8;

bool sameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

std::string folderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string lastPartOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Opens the folder of `path` as output.folder. A folder that may be searched but not read is
// still opened where the system allows it for names alone.
bool openFolder(const std::string& path, OutputFile& output) {
  const std::string folder = folderOf(path);
  output.folder = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
#ifdef O_PATH
  if (output.folder < 0) output.folder = open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
#endif
  return output.folder >= 0;
}

// True when the file `opened` (the name as first seen: `named`) is what `name` names now.
bool namesOpenedFile(const std::string& name, const struct stat& named, const struct stat& opened) {
  if (!S_ISLNK(named.st_mode)) return sameFile(named, opened);
  struct stat followed;
  return stat(name.c_str(), &followed) == 0 && sameFile(followed, opened);
}

// Where the opened output lies, for a temporary file beside it: `name` itself, or, where
// `name` is a link, the file at the end of its links, checked to be the one the system opened.
bool locateOpenedFile(const std::string& name, const struct stat& named, const struct stat& opened,
                      std::string& path) {
  if (!S_ISLNK(named.st_mode)) {
    path = name;
    return true;
  }
  char* const resolved = realpath(name.c_str(), nullptr);
  if (resolved == nullptr) return false;
  path = resolved;
  std::free(resolved);
  struct stat shown;
  return lstat(path.c_str(), &shown) == 0 && sameFile(shown, opened);
}

// True when a new file in output.folder can take the place of `opened` (open as `descriptor`)
// with everything it had: a regular file with one link, no extended attributes, on the folder's
// own file system (not mounted over its name), in a folder that allows names to be replaced,
// and owned so that the runner can give a new file its owner and group.
bool replaceable(const OutputFile& output, int descriptor, const struct stat& opened) {
  struct stat folder;
  return S_ISREG(opened.st_mode) && opened.st_nlink == 1 && !hasExtendedAttributes(descriptor) &&
         fstat(output.folder, &folder) == 0 && folder.st_dev == opened.st_dev &&
         !isAppendOnly(output.folder) && mayGiveOwnership(opened);
}

// Writes into the opened output itself: a regular file is emptied first, a FIFO or a device
// takes the text as it comes.
bool rewriteInPlace(int descriptor, const struct stat& opened, OutputFile& output) {
  std::FILE* const file =
      S_ISREG(opened.st_mode) && ftruncate(descriptor, 0) != 0 ? nullptr : fdopen(descriptor, "wb");
  if (file == nullptr) {
    close(descriptor);
    releaseOutput(output);
    return false;
  }
  output.file = file;
  output.target.clear();
  output.replacesExisting = true;
  releaseOutput(output);
  return true;
}

// A new output. Where its folder only allows names to be added, the file is created as any
// program creates it, for there no temporary name could be removed again.
bool openNewOutput(const std::string& name, OutputFile& output) {
  if (!openFolder(name, output)) return false;
  if (!isAppendOnly(output.folder)) {
    if (createTemporaryFile(lastPartOf(name), output)) return true;
    releaseOutput(output);
    return false;
  }
  const int descriptor = open(name.c_str(), O_WRONLY | O_CREAT | O_NOCTTY | O_CLOEXEC, 0666);
  struct stat opened;
  if (descriptor < 0 || fstat(descriptor, &opened) != 0) {
    if (descriptor >= 0) close(descriptor);
    releaseOutput(output);
    return false;
  }
  return rewriteInPlace(descriptor, opened, output);
}

// Copies the whole temporary file `from` into the existing output `to`, emptied first.
bool copyInto(int from, int to) {
  if (ftruncate(to, 0) != 0 || lseek(to, 0, SEEK_SET) != 0) return false;
  static char buffer[64 * 1024];
  for (off_t offset = 0;;) {
    const ssize_t got = pread(from, buffer, sizeof buffer, offset);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return got == 0;
    for (ssize_t done = 0; done < got;) {
      const ssize_t put = write(to, buffer + done, static_cast<std::size_t>(got - done));
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) return false;
      done += put;
    }
    offset += got;
  }
}

// True when the existing output, judged again now, can still be replaced: the same file under
// its name, with nothing since gained that a new file would lose. `now` receives its state.
bool stillReplaceable(const OutputFile& output, int temporary, struct stat& now) {
  struct stat named;
  return fstat(output.existing, &now) == 0 &&
         fstatat(output.folder, output.target.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
         sameFile(named, now) && replaceable(output, output.existing, now) &&
         sameInodeFlags(output.existing, temporary);
}

}  // namespace

bool openOutputFile(const std::string& name, OutputFile& output) {
  struct stat named;
  struct stat opened;
  int descriptor = -1;
  // Another run may put its own output in place between the look at the name and the open: the
  // name is then looked at again, a few times, before the run gives up.
  for (int attempt = 0;; ++attempt) {
    if (lstat(name.c_str(), &named) != 0) return errno == ENOENT && openNewOutput(name, output);
    // The open of any program writing to the name, less the emptying: with O_CREAT, so that the
    // system applies its rules for files, FIFOs and links in shared sticky folders; it creates
    // the file behind a link that leads nowhere, where it allows that.
    descriptor = open(name.c_str(), O_WRONLY | O_CREAT | O_NOCTTY | O_CLOEXEC, 0666);
    if (descriptor < 0) return false;
    if (fstat(descriptor, &opened) != 0) {
      close(descriptor);
      return false;
    }
    if (namesOpenedFile(name, named, opened)) break;
    close(descriptor);
    if (attempt + 1 == kNameLookTries) return false;
  }
  std::string path;
  if (S_ISREG(opened.st_mode) && locateOpenedFile(name, named, opened, path) &&
      openFolder(path, output) && replaceable(output, descriptor, opened)) {
    if (createTemporaryFile(lastPartOf(path), output)) {
      // A folder's default access list gives every new file one, which the old did not have.
      if (!hasExtendedAttributes(fileno(output.file))) {
        output.existing = descriptor;
        output.replacesExisting = true;
        return true;
      }
      removeTemporaryFile(output);
    }
  }
  return rewriteInPlace(descriptor, opened, output);
}

std::size_t nameLimit(const OutputFile& output) {
  const long limit = fpathconf(output.folder, _PC_NAME_MAX);
  return limit > 0 ? static_cast<std::size_t>(limit) : 255;  // 255: Linux's file systems
}

CreateOutcome createExclusive(const OutputFile& output, const std::string& name, std::FILE*& file) {
  // O_EXCL: fails on any existing name, a link (dangling or not) included, so nothing that
  // stands there is ever followed or overwritten. 0600: nobody else can open it before it has
  // its final owner and permissions. Readable, for a copy into the old output where that has
  // to take the text after all.
  const int descriptor =
      openat(output.folder, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (descriptor < 0) return errno == EEXIST ? CreateOutcome::NameTaken : CreateOutcome::Failed;
  file = fdopen(descriptor, "wb");
  if (file == nullptr) {
    close(descriptor);
    unlinkat(output.folder, name.c_str(), 0);
    return CreateOutcome::Failed;
  }
  return CreateOutcome::Created;
}

bool flushTemporaryFile(OutputFile& output) {
  // On the disk before it replaces anything: a power cut then leaves the old output or the new.
  return flushToDisk(fileno(output.file));
}

bool commitTemporaryFile(OutputFile& output) {
  const int temporary = fileno(output.file);
  struct stat now;
  if (output.existing < 0) {
    // A new output gets the permissions (and so the access list) of any new file there.
    if (fchmod(temporary, newFileMode(output.folder)) != 0) return false;
    const InterruptsHeld held;
    return renameat(output.folder, output.temporaryName.c_str(), output.folder,
                    output.target.c_str()) == 0 &&
           settleTemporaryFile(output);
  }
  if (stillReplaceable(output, temporary, now) && giveOwnership(temporary, now) &&
      !hasExtendedAttributes(temporary)) {
    const InterruptsHeld held;
    if (renameat(output.folder, output.temporaryName.c_str(), output.folder,
                 output.target.c_str()) == 0) {
      return settleTemporaryFile(output);
    }
  }
  // Something the old output has or has gained would be lost (or the name cannot be replaced:
  // a mount point, a folder that only allows additions): the text goes into the old file.
  return copyInto(temporary, output.existing);
}

void deleteFile(const OutputFile& output, const std::string& name) {
  unlinkat(output.folder, name.c_str(), 0);
}

void releaseOutput(OutputFile& output) {
  if (output.existing >= 0) close(output.existing);
  if (output.folder >= 0) close(output.folder);
  output.existing = -1;
  output.folder = -1;
}

}  // namespace trasop

#endif
