# Checks that the layer's shared library exports its C ABI (WDU_*, VB_*) and no other function:
# neither its test interface nor any C++ of its own. Run as
#   cmake -DNM=<nm> -DLIBRARY=<libwd_utils.so> -P LayerExports.cmake
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY} OUTPUT_VARIABLE dump
                RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "${NM} -D ${LIBRARY} failed")
endif()
string(REGEX MATCHALL "[0-9a-fA-F]+ [TWi] [^\n]+" functions "${dump}")
set(stray "")
foreach(line IN LISTS functions)
    string(REGEX REPLACE "^[0-9a-fA-F]+ [TWi] " "" name "${line}")
    if(NOT name MATCHES "^(WDU_|VB_)")
        list(APPEND stray ${name})
    endif()
endforeach()
if(stray)
    message(FATAL_ERROR "${LIBRARY} exports functions beyond its C ABI: ${stray}")
endif()
