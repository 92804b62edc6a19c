# Cross toolchain: 32-bit Windows programs with mingw-w64 (posix threads, static runtime).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VARNELL_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
