# The ZIP of the Windows build (cpack -G ZIP in the build folder): the programs, the USB layer's
# DLLs, Kestrow.dll in both widths (the 32-bit one with its own USB layer under x86/) and the
# README. Only the "windows" component goes in, so the Linux install rules stay as they are.
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

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Velmorix)
set(CPACK_PACKAGE_FILE_NAME Velmorix-${PROJECT_VERSION}-win64)
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL windows)
set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY OFF)
include(CPack)
