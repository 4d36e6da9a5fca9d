# `cpack -G DEB` in the build directory makes the Debian packages of what `cmake --install` lays
# out (cmake/Install.cmake): `velmorix`, the program with its tools and libraries, and
# `velmorix-emulator`, `bridge-emulator` alone, so that a bench installing the program pulls in no
# test library (umockdev, and GLib with it). Dependencies are read from the binaries by
# dpkg-shlibdeps.
set(VELMORIX_MAINTAINER "Velmorix developers <velmorix@velmorix.example>"
    CACHE STRING "Maintainer named in the Debian package")
set(VELMORIX_DEBIAN_RELEASE 1 CACHE STRING "Debian revision of the package version")

set(CPACK_PACKAGE_NAME velmorix)
set(CPACK_PACKAGE_VENDOR "Velmorix")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${VELMORIX_MAINTAINER}")
# Each package's description starts with its own summary line.
set(CPACK_DEBIAN_UNSPECIFIED_DESCRIPTION "\
I2C register console and script runner for a USB bridge
Velmorix I2C Comm talks to the I2C devices of an evaluation board through a
USB-to-I2C bridge board: a register console with a time-stamped program log,
a script processor that compares the data read with the data expected, and a
GPIO panel. velmorix-script runs the same scripts without a window (for
regression runs on a build server) and velmorix-i2c reaches the bus from a
shell. The Python module velmorix offers the bridge board to pytest, to bench
scripts and, as a drop-in for smbus2.SMBus, to existing device drivers.
A simulated bridge board is built in for work without hardware.
The udev rule gives the plugdev group access to the bridge board.")
set(CPACK_DEBIAN_EMULATOR_DESCRIPTION "\
Emulated USB bridge board for trying Velmorix I2C Comm
bridge-emulator plugs the simulated bridge board into an emulated USB bus
(umockdev) and runs a program against it, so that the programs of the
velmorix package reach it through their real USB path without hardware.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
# Everything installed without a component of its own is the program's package.
set(CPACK_DEBIAN_UNSPECIFIED_PACKAGE_NAME velmorix)
set(CPACK_DEBIAN_EMULATOR_PACKAGE_NAME velmorix-emulator)
set(CPACK_DEBIAN_PACKAGE_SOURCE velmorix)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${VELMORIX_DEBIAN_RELEASE})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its platform plugin at run time, so no binary names it; without one no window opens.
if(VELMORIX_GUI)
    set(CPACK_DEBIAN_UNSPECIFIED_PACKAGE_DEPENDS qt6-qpa-plugins)
endif()
# The Python module is built for one Python 3 version.
if(TARGET _velmorix)
    math(EXPR next "${Python3_VERSION_MINOR} + 1")
    list(APPEND CPACK_DEBIAN_UNSPECIFIED_PACKAGE_DEPENDS
        "python3 (>= ${Python3_VERSION_MAJOR}.${Python3_VERSION_MINOR}~)"
        "python3 (<< ${Python3_VERSION_MAJOR}.${next})")
    list(JOIN CPACK_DEBIAN_UNSPECIFIED_PACKAGE_DEPENDS ", " CPACK_DEBIAN_UNSPECIFIED_PACKAGE_DEPENDS)
endif()
# bridge-emulator runs on libbridgesim of the program's package: dpkg-shlibdeps looks for it in
# that package's staging folder, beside the emulator's own. It preloads umockdev's
# libumockdev-preload.so.0 by name, which no binary names.
set(CPACK_DEBIAN_EMULATOR_PACKAGE_DEPENDS
    "velmorix (= ${PROJECT_VERSION}-${VELMORIX_DEBIAN_RELEASE}), umockdev")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ../Unspecified/usr/${CMAKE_INSTALL_LIBDIR})

# The maintainer scripts reload the udev rules so that a board plugged in after the install is
# accessible at once, and carry the board's IDs to re-run the rules for one already plugged in.
configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/udev-reload.sh.in
               ${PROJECT_BINARY_DIR}/packaging/debian/postinst @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
               WORLD_READ WORLD_EXECUTE)
configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/udev-reload.sh.in
               ${PROJECT_BINARY_DIR}/packaging/debian/postrm @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
               WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_UNSPECIFIED_PACKAGE_CONTROL_EXTRA
    ${PROJECT_BINARY_DIR}/packaging/debian/postinst
    ${PROJECT_BINARY_DIR}/packaging/debian/postrm
    ${PROJECT_SOURCE_DIR}/packaging/debian/triggers)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# Debian wants the man pages and the changelog compressed; a plain install keeps them readable.
set(VELMORIX_DEBIAN_VERSION ${PROJECT_VERSION}-${VELMORIX_DEBIAN_RELEASE})
configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/changelog.in
               ${PROJECT_BINARY_DIR}/packaging/debian/changelog.Debian @ONLY)
set(CPACK_VELMORIX_CHANGELOG ${PROJECT_BINARY_DIR}/packaging/debian/changelog.Debian)
set(CPACK_VELMORIX_DOCROOT ${CMAKE_INSTALL_DATADIR}/doc)
set(CPACK_VELMORIX_MANDIR ${CMAKE_INSTALL_MANDIR})
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/packaging/debian/StagingFixups.cmake)

include(CPack)
