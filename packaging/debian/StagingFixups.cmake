# Run by cpack once the files are staged and before they are packed: compresses the man pages
# and adds the compressed changelog, as Debian packages carry them.
set(root "${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")
file(GLOB pages "${root}/${CPACK_VELMORIX_MANDIR}/man*/*.[1-9]")
foreach(page IN LISTS pages)
    execute_process(COMMAND gzip -9nf "${page}" RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "cannot compress ${page}")
    endif()
endforeach()
file(COPY_FILE "${CPACK_VELMORIX_CHANGELOG}" "${root}/${CPACK_VELMORIX_DOCDIR}/changelog.Debian")
execute_process(COMMAND gzip -9nf "${root}/${CPACK_VELMORIX_DOCDIR}/changelog.Debian"
                RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "cannot compress the changelog")
endif()
