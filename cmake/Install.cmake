# What `cmake --install` lays out under the prefix, beside the install rules of tools/,
# wd_utils/ and bridgesim/. Every run path is relative to the installed file, so the tree works
# from any prefix and inside the Debian package alike.
include(GNUInstallDirs)

set(VELMORIX_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/velmorix)

# Kestrow finds wd_utils beside itself; its callers include wd_utils.h for the records it takes.
set_target_properties(Kestrow PROPERTIES INSTALL_RPATH "$ORIGIN")
install(TARGETS Kestrow LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${PROJECT_SOURCE_DIR}/wd_utils/include/wd_utils.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

if(VELMORIX_GUI)
    set_target_properties(Velmorix_I2C_Comm PROPERTIES
        INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
    install(TARGETS Velmorix_I2C_Comm RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${VELMORIX_DOCDIR})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION ${VELMORIX_DOCDIR})
# bridge-emulator is a package of its own (cmake/Packaging.cmake), with its own copyright file.
if(TARGET bridge-emulator)
    install(TARGETS bridge-emulator RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT emulator)
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright
            DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/velmorix-emulator COMPONENT emulator)
endif()

# Turns a USB ID as given to the configure step (0x1209, 4617) into the four lower-case hex
# digits that udev compares against; stops the configure step when it is no 16-bit number.
function(velmorix_udev_id value out)
    math(EXPR number "${value}" OUTPUT_FORMAT DECIMAL)
    if(number LESS 0 OR number GREATER 65535)
        message(FATAL_ERROR "USB ID ${value} is not a 16-bit number")
    endif()
    math(EXPR hex "${number} + 65536" OUTPUT_FORMAT HEXADECIMAL)
    string(SUBSTRING "${hex}" 3 4 hex)
    string(TOLOWER "${hex}" hex)
    set(${out} "${hex}" PARENT_SCOPE)
endfunction()

if(UNIX AND NOT APPLE)
    # Kestrow calls nothing of the C library itself, so the linker would drop it; a library that
    # does not name the C library it was built against gets no versioned dependency on it.
    target_link_options(Kestrow PRIVATE "LINKER:--push-state,--no-as-needed,-lc,--pop-state")

    # The rule names the board by the very IDs that board/BridgeIds.h is generated from.
    velmorix_udev_id(${VELMORIX_VENDOR_ID} VELMORIX_UDEV_VENDOR)
    velmorix_udev_id(${VELMORIX_PRODUCT_ID} VELMORIX_UDEV_PRODUCT)
    configure_file(${PROJECT_SOURCE_DIR}/packaging/60-velmorix.rules.in
                   ${PROJECT_BINARY_DIR}/packaging/60-velmorix.rules @ONLY)
    install(FILES ${PROJECT_BINARY_DIR}/packaging/60-velmorix.rules
            DESTINATION lib/udev/rules.d)

    if(VELMORIX_GUI)
        install(FILES ${PROJECT_SOURCE_DIR}/packaging/velmorix.desktop
                DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
        install(FILES ${PROJECT_SOURCE_DIR}/packaging/velmorix.svg
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
        install(FILES ${PROJECT_SOURCE_DIR}/packaging/man/Velmorix_I2C_Comm.1
                DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endif()
    install(FILES ${PROJECT_SOURCE_DIR}/tools/man/velmorix-script.1
            DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
