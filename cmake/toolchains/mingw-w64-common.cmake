# What both MinGW-w64 toolchains share; each sets CMAKE_SYSTEM_PROCESSOR and
# VELMORIX_MINGW_PREFIX first. POSIX-thread compilers, since the win32-thread ones lack
# std::thread. The runtime is linked statically, so the programs run without MinGW DLLs.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${VELMORIX_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELMORIX_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VELMORIX_MINGW_PREFIX}-windres)
set(CMAKE_OBJDUMP ${VELMORIX_MINGW_PREFIX}-objdump CACHE FILEPATH "objdump for PE files")

# Libraries and headers of the target come from the MinGW tree; header-only packages (their CMake
# packages are architecture-independent) may come from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${VELMORIX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

# -static takes libgcc, libstdc++ and winpthread into each .exe and .dll; --exclude-libs keeps
# them out of the export table of a DLL that exports all its own symbols.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -Wl,--exclude-libs,ALL")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -Wl,--exclude-libs,ALL")

set(CMAKE_CROSSCOMPILING_EMULATOR wine)
