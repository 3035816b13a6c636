// What a POSIX file carries beyond its content, as far as replacing it by a new file is
// concerned: attributes, inode flags, owner and group, and its data on the disk.
#pragma once

#ifndef _WIN32

#include <sys/stat.h>

namespace trasop {

// True when the open file `descriptor` has extended attributes (an access list among them), or
// when that cannot be told: a new file could not carry them over.
bool hasExtendedAttributes(int descriptor);

// True when the open folder `descriptor` only allows names to be added (its append-only flag).
// False where the file system has no such flags or they cannot be read.
bool isAppendOnly(int descriptor);

// True when the open files `a` and `b` carry the same inode flags that a user may set (no
// dump, no access time, compression and the like); files without such flags carry the same.
bool sameInodeFlags(int a, int b);

// True when the runner may give a new file the owner and group of `file`: root, or the owner
// with the file's group among its groups.
bool mayGiveOwnership(const struct stat& file);

// Gives the open file `descriptor` the owner, group and permission bits of `file` (the group
// before the bits, which a change of owner or group may clear). False where that fails.
bool giveOwnership(int descriptor, const struct stat& file);

// The permission bits that a file created with mode 0666 in the open folder `folder` gets: where
// the folder has a default access list, those the list gives (the umask then does not apply);
// otherwise 0666 less the umask.
mode_t newFileMode(int folder);

// Writes the open file's data through to the disk. False where the disk reports a failure.
bool flushToDisk(int descriptor);

}  // namespace trasop

#endif
