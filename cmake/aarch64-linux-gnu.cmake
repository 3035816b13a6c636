# Cross-compiling the Linux program for arm64 (aarch64) with Debian's g++-aarch64-linux-gnu.
# The program is linked statically, so that it runs on any arm64 Linux and, for the tests,
# under qemu-aarch64 user emulation without an arm64 system beside it.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
# Debian's arm64 zlib for trasop-map, unpacked into the build folder by scripts/zlib-aarch64.sh
# (its static library only: the program is linked statically).
get_filename_component(_trasop_zlib "${CMAKE_CURRENT_LIST_DIR}/../build/zlib-aarch64" ABSOLUTE)
if(EXISTS "${_trasop_zlib}/usr/include/zlib.h")
  list(APPEND CMAKE_FIND_ROOT_PATH "${_trasop_zlib}")
  set(ZLIB_USE_STATIC_LIBS ON)
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(TRASOP_STATIC ON CACHE BOOL "Link the program statically" FORCE)
