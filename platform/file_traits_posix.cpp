#ifndef _WIN32

#include "platform/file_traits_posix.h"

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <vector>

#ifdef __linux__
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/xattr.h>
#endif

namespace trasop {

namespace {

#ifdef __linux__
// The inode flags of the open file `descriptor`, 0 where it has none or they cannot be read.
int inodeFlags(int descriptor) {
  int flags = 0;  // the kernel reads and writes an int, whatever the request's declared type
  return ioctl(descriptor, FS_IOC_GETFLAGS, &flags) == 0 ? flags : 0;
}
#endif

bool inGroups(gid_t group) {
  if (group == getegid()) return true;
  const int count = getgroups(0, nullptr);
  if (count <= 0) return false;
  std::vector<gid_t> groups(static_cast<std::size_t>(count));
  const int got = getgroups(count, groups.data());
  for (int k = 0; k < got; ++k) {
    if (groups[static_cast<std::size_t>(k)] == group) return true;
  }
  return false;
}

}  // namespace

bool hasExtendedAttributes(int descriptor) {
#ifdef __linux__
  const ssize_t size = flistxattr(descriptor, nullptr, 0);
  return size != 0 && !(size < 0 && errno == ENOTSUP);
#else
  (void)descriptor;
  return true;
#endif
}

bool isAppendOnly(int descriptor) {
#ifdef __linux__
  return (inodeFlags(descriptor) & FS_APPEND_FL) != 0;
#else
  (void)descriptor;
  return false;
#endif
}

bool sameInodeFlags(int a, int b) {
#ifdef __linux__
  return ((inodeFlags(a) ^ inodeFlags(b)) & FS_FL_USER_MODIFIABLE) == 0;
#else
  (void)a;
  (void)b;
  return true;
#endif
}

bool mayGiveOwnership(const struct stat& file) {
  const uid_t runner = geteuid();
  return runner == 0 || (file.st_uid == runner && inGroups(file.st_gid));
}

bool giveOwnership(int descriptor, const struct stat& file) {
  struct stat now;
  if (fstat(descriptor, &now) != 0) return false;
  if ((now.st_uid != file.st_uid || now.st_gid != file.st_gid) &&
      fchown(descriptor, file.st_uid, file.st_gid) != 0) {
    return false;
  }
  return fchmod(descriptor, file.st_mode & 07777) == 0;
}

bool flushToDisk(int descriptor) {
#if defined(__linux__)
  const int flushed = fdatasync(descriptor);
#else
  const int flushed = fsync(descriptor);
#endif
  // A file system that cannot flush (EINVAL) holds nothing a power cut could spare.
  return flushed == 0 || errno == EINVAL || errno == ENOTSUP;
}

}  // namespace trasop

#endif
