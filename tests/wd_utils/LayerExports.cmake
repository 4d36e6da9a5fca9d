# Checks that the layer's shared library exports its C ABI (WDU_*, VB_*) and no other function of
# its own: neither its test interface nor any of its C++. Instances of std:: templates are left
# aside: the standard library's headers give them default visibility. Run as
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
    if(NOT name MATCHES "^(WDU_|VB_)" AND NOT name MATCHES "^_Z(N[KVRO]*)?St")
        list(APPEND stray ${name})
    endif()
endforeach()
if(stray)
    message(FATAL_ERROR "${LIBRARY} exports functions beyond its C ABI: ${stray}")
endif()
