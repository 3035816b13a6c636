/* Preloaded into the 32-bit Wine loader when it runs under qemu-i386 user emulation.
 *
 * qemu treats mmap's MAP_FIXED_NOREPLACE as a mere hint and maps elsewhere when the address is
 * taken; Wine, which reserves its address space with that flag, then takes the mapping for a
 * success and cannot place its shared data. This gives the flag its kernel meaning back: the
 * mapping is made exactly at the address, or it fails with EEXIST.
 *
 * Built with "gcc -m32 -nostdlib -shared -fPIC", without any 32-bit development package: it
 * declares what it calls itself, and the C library resolves those names when it is loaded.
 * It clears LD_PRELOAD at once, so that the 64-bit programs Wine starts never see it. */

typedef unsigned int size_t32;
typedef long off32;
typedef long long off64;

#define MAP_FIXED_NOREPLACE 0x100000
#define EEXIST 17
#define MAP_FAILED ((void *)-1)
#define RTLD_NEXT ((void *)-1)

void *dlsym(void *handle, const char *name);
int munmap(void *address, size_t32 length);
int *__errno_location(void);
int unsetenv(const char *name);

typedef void *(*MmapFunction)(void *, size_t32, int, int, int, off32);
typedef void *(*Mmap64Function)(void *, size_t32, int, int, int, off64);

__attribute__((constructor)) static void forgetPreload(void) { unsetenv("LD_PRELOAD"); }

/* A mapping that landed elsewhere than asked is undone and reported as taken. */
static void *placedExactly(void *wanted, void *mapped, size_t32 length, int flags) {
  if ((flags & MAP_FIXED_NOREPLACE) == 0 || mapped == MAP_FAILED || mapped == wanted) {
    return mapped;
  }
  munmap(mapped, length);
  *__errno_location() = EEXIST;
  return MAP_FAILED;
}

void *mmap(void *address, size_t32 length, int protection, int flags, int file, off32 offset) {
  static MmapFunction next;
  if (next == 0) next = (MmapFunction)dlsym(RTLD_NEXT, "mmap");
  return placedExactly(address, next(address, length, protection, flags, file, offset), length,
                       flags);
}

void *mmap64(void *address, size_t32 length, int protection, int flags, int file, off64 offset) {
  static Mmap64Function next;
  if (next == 0) next = (Mmap64Function)dlsym(RTLD_NEXT, "mmap64");
  return placedExactly(address, next(address, length, protection, flags, file, offset), length,
                       flags);
}
