# The Windows build (MinGW-w64, run under Wine here): what differs from the Linux build.
#
# - libusb: used when a Windows libusb is found (pkg-config of the target); the real board is then
#   reached through WinUSB. Else the USB layer is built with the simulated board only, and
#   choosing "usb" reports that plainly.
# - GoogleTest is built from the sources of the googletest package with the cross compiler.
# - Each test program is one ctest test: under Wine a process start costs about a second, so one
#   process per test case would take longer than the tests themselves. Each program prints
#   GoogleTest's own summary, its skipped tests with their reasons among it.

# Every .exe and .dll in one folder, so that a program finds its libraries beside it.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
# The libraries keep their Windows names (wd_utils.dll, Kestrow.dll), without "lib".
set(CMAKE_SHARED_LIBRARY_PREFIX "")
# MinGW's headers: the Vista API (and no min/max macros from windows.h).
add_compile_definitions(_WIN32_WINNT=0x0600 NOMINMAX)
# GCC 12's -O3 std::string inlining gives false -Wrestrict reports (GCC bug 105329) in MinGW's
# libstdc++ headers.
add_compile_options(-Wno-restrict)

# Header-only packages of the build machine (nlohmann_json, CLI11): their CMake packages would put
# all of /usr/include before MinGW's headers, so only their own folders are offered.
set(velmorix_host_headers ${CMAKE_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${velmorix_host_headers})
foreach(dir nlohmann CLI)
    if(EXISTS /usr/include/${dir} AND NOT EXISTS ${velmorix_host_headers}/${dir})
        file(CREATE_LINK /usr/include/${dir} ${velmorix_host_headers}/${dir} SYMBOLIC)
    endif()
endforeach()
# Defined before find_package, whose generated target files then leave them alone.
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED GLOBAL)
add_library(CLI11::CLI11 INTERFACE IMPORTED GLOBAL)
set_target_properties(nlohmann_json::nlohmann_json CLI11::CLI11 PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES ${velmorix_host_headers})

# Only a libusb of the target counts, never the build machine's: the one built for this width
# by scripts/windows-libusb.sh (a static library, so the layer's DLL needs nothing beside it), or
# one in the MinGW tree.
set(VELMORIX_LIBUSB_PREFIX "" CACHE PATH "Prefix of a libusb built for this Windows target")
if(VELMORIX_LIBUSB_PREFIX)
    list(APPEND CMAKE_FIND_ROOT_PATH ${VELMORIX_LIBUSB_PREFIX})
    set(ENV{PKG_CONFIG_LIBDIR} ${VELMORIX_LIBUSB_PREFIX}/lib/pkgconfig)
else()
    set(ENV{PKG_CONFIG_LIBDIR} /usr/${VELMORIX_MINGW_PREFIX}/lib/pkgconfig)
endif()
set(ENV{PKG_CONFIG_PATH} "")
find_package(PkgConfig QUIET)
set(VELMORIX_USB_BACKEND OFF)
if(PkgConfig_FOUND)
    pkg_check_modules(LIBUSB QUIET IMPORTED_TARGET libusb-1.0)
    if(LIBUSB_FOUND)
        set(VELMORIX_USB_BACKEND ON)
    endif()
endif()
if(VELMORIX_USB_BACKEND)
    message(STATUS "libusb ${LIBUSB_VERSION} for Windows: ${LIBUSB_LINK_LIBRARIES}")
else()
    message(STATUS "No libusb for Windows: the USB layer is built with the simulated board only")
endif()

# The map readers' libxml2: the static one that scripts/windows-libxml2.sh built for this width,
# through its own CMake package, which names what a static libxml2 needs (LIBXML_STATIC, ws2_32,
# threads). Without it the build reads no map files and says so.
set(VELMORIX_LIBXML2_PREFIX "" CACHE PATH "Prefix of a libxml2 built for this Windows target")
if(VELMORIX_LIBXML2_PREFIX)
    find_package(Threads REQUIRED)
    find_package(LibXml2 CONFIG REQUIRED PATHS ${VELMORIX_LIBXML2_PREFIX} NO_DEFAULT_PATH)
    message(STATUS "libxml2 ${LIBXML2_VERSION_STRING} for Windows: ${VELMORIX_LIBXML2_PREFIX}")
else()
    message(STATUS "No libxml2 for Windows: the build reads no register map files")
endif()

if(VELMORIX_TESTS)
    set(VELMORIX_GOOGLETEST_SOURCE "/usr/src/googletest" CACHE PATH "GoogleTest sources")
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    # Its CMake files define GTest::gtest and GTest::gtest_main.
    add_subdirectory(${VELMORIX_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

    # Runs the whole test program once, under the emulator when cross-compiling.
    function(gtest_discover_tests target)
        add_test(NAME ${target} COMMAND ${target})
    endfunction()
endif()
