# The packages of the Windows build, both from the "windows" install component, so the Linux
# install rules stay as they are: the ZIP (cpack -G ZIP in the build folder) and the installer
# (cpack -G NSIS). Both hold the programs, the USB layer's DLLs, Kestrow.dll in both widths (the
# 32-bit one with its own USB layer under x86/), the WinUSB INF of the bridge board and the
# README. The installer adds a Start-menu entry for the window program and an uninstaller.
install(TARGETS velmorix-script velmorix-i2c wd_utils bridgesim Kestrow
        RUNTIME DESTINATION . COMPONENT windows
        LIBRARY DESTINATION . COMPONENT windows)
set(VELMORIX_X86_BIN "" CACHE PATH "bin folder of the 32-bit build (Kestrow.dll and its DLLs)")
if(VELMORIX_X86_BIN)
    install(FILES ${VELMORIX_X86_BIN}/Kestrow.dll ${VELMORIX_X86_BIN}/wd_utils.dll
                  ${VELMORIX_X86_BIN}/bridgesim.dll
            DESTINATION x86 COMPONENT windows)
endif()
if(TARGET Velmorix_I2C_Comm)
    install(TARGETS Velmorix_I2C_Comm RUNTIME DESTINATION . COMPONENT windows)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION . COMPONENT windows)

# The INF names the board by the very IDs that board/BridgeIds.h is generated from, as Windows
# writes them: four upper-case hex digits.
velmorix_udev_id(${VELMORIX_VENDOR_ID} VELMORIX_INF_VENDOR)
velmorix_udev_id(${VELMORIX_PRODUCT_ID} VELMORIX_INF_PRODUCT)
string(TOUPPER ${VELMORIX_INF_VENDOR} VELMORIX_INF_VENDOR)
string(TOUPPER ${VELMORIX_INF_PRODUCT} VELMORIX_INF_PRODUCT)
configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/velmorix-winusb.inf.in
               ${PROJECT_BINARY_DIR}/packaging/windows/velmorix-winusb.inf @ONLY NEWLINE_STYLE CRLF)
install(FILES ${PROJECT_BINARY_DIR}/packaging/windows/velmorix-winusb.inf
        DESTINATION driver COMPONENT windows)

set(CPACK_GENERATOR ZIP NSIS)
set(CPACK_PACKAGE_NAME Velmorix)
set(CPACK_PACKAGE_VENDOR Velmorix)
set(CPACK_PACKAGE_FILE_NAME Velmorix-${PROJECT_VERSION}-win64)
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL windows)
set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_COMPONENT_WINDOWS_DISPLAY_NAME "Velmorix I2C Comm")
set(CPACK_COMPONENT_WINDOWS_REQUIRED ON)

# A 64-bit installer: makensis builds a 32-bit one unless told otherwise, and CPack cannot pass
# the option itself (it splits the argument at its blank), hence the wrapper.
set(velmorix_makensis ${PROJECT_BINARY_DIR}/makensis-amd64)
file(WRITE ${velmorix_makensis} "#!/bin/sh\nexec makensis '-XTarget amd64-unicode' \"$@\"\n")
file(CHMOD ${velmorix_makensis} FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
     GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_NSIS_EXECUTABLE ${velmorix_makensis})
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_PACKAGE_INSTALL_DIRECTORY Velmorix)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Velmorix)
set(CPACK_NSIS_PACKAGE_NAME "Velmorix I2C Comm")
set(CPACK_NSIS_DISPLAY_NAME "Velmorix I2C Comm ${PROJECT_VERSION}")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/packaging/copyright)
# The programs lie at the top of the installed folder, as in the ZIP.
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
# The Start-menu entry, once the window program is part of this build.
if(TARGET Velmorix_I2C_Comm)
    set(CPACK_PACKAGE_EXECUTABLES Velmorix_I2C_Comm "Velmorix I2C Comm")
endif()
include(CPack)
