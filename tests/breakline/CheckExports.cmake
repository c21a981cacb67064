# Fails unless LIBRARY exports exactly one function, by the undecorated name
# that a JVM derives for WindowsConsoleHandler.setCtrlCloseHandler.
set(EXPECTED Java_com_corvane_launcher_util_WindowsConsoleHandler_setCtrlCloseHandler)

execute_process(COMMAND ${OBJDUMP} -p ${LIBRARY} OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "${OBJDUMP} -p ${LIBRARY} failed: ${failed}")
endif()

# Counts every export, named or by ordinal only.
string(REGEX MATCH "Export Address Table[ \t]+([0-9a-fA-F]+)" found "${dump}")
set(address_count "${CMAKE_MATCH_1}")
string(REGEX REPLACE ".*\\[Ordinal/Name Pointer\\] Table\n" "" named "${dump}")
string(FIND "${named}" "\n\n" table_end)
string(SUBSTRING "${named}" 0 ${table_end} named)
string(REGEX MATCHALL "\t\\[ *[0-9]+\\] [^\n]+" entries "${named}")
set(names "")
foreach(entry IN LISTS entries)
    string(REGEX REPLACE "^\t\\[ *[0-9]+\\] " "" name "${entry}")
    list(APPEND names "${name}")
endforeach()

if(NOT address_count STREQUAL "00000001" OR NOT names STREQUAL EXPECTED)
    message(FATAL_ERROR "Expected the single export ${EXPECTED}; "
                        "the export address table has ${address_count} entries and the names are: ${names}")
endif()
message(STATUS "Exports: ${names}")
