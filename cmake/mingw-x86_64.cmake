# Cross toolchain: 64-bit Windows builds of the same sources with mingw-w64 (posix threads,
# static runtime). Used to run the end-to-end tests under Wine on machines that cannot run
# 32-bit x86 code; the programs we ship are the 32-bit ones.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VARNELL_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
