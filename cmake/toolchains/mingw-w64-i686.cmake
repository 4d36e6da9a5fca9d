# Cross-build for 32-bit Windows with MinGW-w64 and POSIX threads.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VELMORIX_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
