# The 32-bit Windows console program.
set(TRASOP_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# SSE2 arithmetic rounds every operation to a double, as on 64-bit targets; the x87 default
# would keep extra precision in intermediate results and could change a printed digit.
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
# Large-address-aware: on 64-bit Windows the program may then use 4 GiB of address space
# instead of 2 GiB, room for grids of about twice as many points. The code keeps sizes and
# addresses unsigned throughout, so addresses above 2 GiB are safe.
string(APPEND CMAKE_EXE_LINKER_FLAGS_INIT " -Wl,--large-address-aware")
