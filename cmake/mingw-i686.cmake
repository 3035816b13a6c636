# Cross-compiling the Windows console program with MinGW-w64 (i686).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# SSE2 arithmetic rounds every operation to a double, as on 64-bit targets; the x87 default
# would keep extra precision in intermediate results.
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
# A static program needs no DLL beyond the system's.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -s")
