# Cross-compiling the Linux program for arm64 (aarch64) with Debian's g++-aarch64-linux-gnu.
# The program is linked statically, so that it runs on any arm64 Linux and, for the tests,
# under qemu-aarch64 user emulation without an arm64 system beside it.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(TRASOP_STATIC ON CACHE BOOL "Link the program statically" FORCE)
