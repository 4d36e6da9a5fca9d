# Checks the export table of a Kestrow.dll: exactly USB_INIT at ordinal 1 and USB_UNINIT at
# ordinal 2, undecorated, and no other export. Run as
#   cmake -DOBJDUMP=<mingw objdump> -DDLL=<Kestrow.dll> -P KestrowExports.cmake
execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "${OBJDUMP} -p ${DLL} failed")
endif()
if(NOT dump MATCHES "Ordinal Base ([0-9]+)")
    message(FATAL_ERROR "${DLL}: no export table")
endif()
set(base ${CMAKE_MATCH_1})

# Export Address Table: one "+base[ N]" line per exported function.
string(REGEX MATCHALL "\\+base\\[ *[0-9]+\\]" addresses "${dump}")
list(LENGTH addresses functionCount)

# [Ordinal/Name Pointer] Table: "[ i] NAME", the ordinal being base + i.
string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table[^\n]*\n(([ \t]+\\[[^\n]*\n)*)" names "${dump}")
string(REGEX MATCHALL "\\[ *[0-9]+\\] [^ \t\n]+" entries "${CMAKE_MATCH_1}")
set(found "")
foreach(entry IN LISTS entries)
    string(REGEX MATCH "\\[ *([0-9]+)\\] ([^ \t\n]+)" _ "${entry}")
    math(EXPR ordinal "${base} + ${CMAKE_MATCH_1}")
    list(APPEND found "${CMAKE_MATCH_2} @${ordinal}")
endforeach()

set(expected "USB_INIT @1;USB_UNINIT @2")
if(NOT found STREQUAL expected OR NOT functionCount EQUAL 2)
    message(FATAL_ERROR "${DLL}: exports are [${found}] (${functionCount} functions), "
                        "expected [${expected}] (2 functions)")
endif()
message(STATUS "${DLL}: ${found}")
