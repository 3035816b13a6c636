#ifndef _WIN32

#include "platform/file_traits_posix.h"

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
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

// The umask, which only setting it reveals.
mode_t currentUmask() {
  const mode_t mask = umask(022);
  umask(mask);
  return mask;
}

#ifdef __linux__
// The folder's default access list as the system stores it: a version (2), then entries of a
// tag, permission bits and an id, little-endian. Empty where it has none or it cannot be read.
std::vector<unsigned char> defaultAccessList(int folder) {
  static const char kName[] = "system.posix_acl_default";
  std::vector<unsigned char> list(1024);
  ssize_t size = fgetxattr(folder, kName, list.data(), list.size());
  if (size < 0 && errno == EBADF) {
    // A folder opened for names alone (O_PATH) is read through its entry in /proc.
    char path[64];
    (void)std::snprintf(path, sizeof path, "/proc/self/fd/%d", folder);
    size = getxattr(path, kName, list.data(), list.size());
  }
  list.resize(size > 0 ? static_cast<std::size_t>(size) : 0);
  return list;
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

mode_t newFileMode(int folder) {
#ifdef __linux__
  // A new file's access list is the folder's default one, with the owner's, the mask's (or,
  // without a mask, the owning group's) and the others' permissions limited by the mode asked
  // for; its permission bits show those three.
  const std::vector<unsigned char> list = defaultAccessList(folder);
  constexpr std::size_t kHeader = 4;
  constexpr std::size_t kEntry = 8;
  if (list.size() > kHeader && (list.size() - kHeader) % kEntry == 0) {
    unsigned owner = 0;
    unsigned group = 0;
    unsigned mask = 0;
    unsigned others = 0;
    bool masked = false;
    for (std::size_t at = kHeader; at < list.size(); at += kEntry) {
      const unsigned tag = list[at] | static_cast<unsigned>(list[at + 1]) << 8;
      const unsigned perm = (list[at + 2] | static_cast<unsigned>(list[at + 3]) << 8) & 7;
      if (tag == 0x01) owner = perm;   // ACL_USER_OBJ
      if (tag == 0x04) group = perm;   // ACL_GROUP_OBJ
      if (tag == 0x20) others = perm;  // ACL_OTHER
      if (tag == 0x10) {               // ACL_MASK
        mask = perm;
        masked = true;
      }
    }
    const unsigned groupBits = masked ? mask : group;
    return static_cast<mode_t>(((owner & 6) << 6) | ((groupBits & 6) << 3) | (others & 6));
  }
#else
  (void)folder;
#endif
  return 0666 & ~currentUmask();
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
