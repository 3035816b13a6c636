# Cross-compiling the Windows console program with MinGW-w64 from Debian's packages.
# REQUIRES: TRASOP_MINGW_ARCH, i686 or x86_64, set by the toolchain file that includes this.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${TRASOP_MINGW_ARCH})
set(CMAKE_C_COMPILER ${TRASOP_MINGW_ARCH}-w64-mingw32-gcc)
set(CMAKE_CXX_COMPILER ${TRASOP_MINGW_ARCH}-w64-mingw32-g++)
set(CMAKE_RC_COMPILER ${TRASOP_MINGW_ARCH}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TRASOP_MINGW_ARCH}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# A static program needs no DLL beyond the system's.
# No time stamp in the executable: the same sources give the same bytes.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -s -Wl,--no-insert-timestamp")
