# Checks a built svcbridge.dll from its PE headers (objdump -p): the machine, exactly the three
# calls exported by their plain names (no leading underscore, no @4 of stdcall), and imports of
# system DLLs only, so that it loads on a machine with nothing else installed.
#   cmake -DOBJDUMP=<objdump> -DDLL=<path> -DFORMAT=<pei-i386|pei-x86-64> -P check_dll.cmake
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE headers RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "objdump cannot read ${DLL}")
endif()

string(REGEX MATCH "file format ([^\n]+)" format "${headers}")
if(NOT CMAKE_MATCH_1 STREQUAL FORMAT)
  message(FATAL_ERROR "${DLL}: format ${CMAKE_MATCH_1}, expected ${FORMAT}")
endif()

# The export names: the lines "[   n] ... name" after the name pointer table's heading.
string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table[^\n]*\n(([ \t]+\\[[^\n]*\n)*)" table "${headers}")
string(REGEX MATCHALL "[^ \t\n]+\n" names "${CMAKE_MATCH_1}")
string(REPLACE "\n" "" names "${names}")
if(NOT names STREQUAL "getSvcStatus;start_service;stop_service")
  message(FATAL_ERROR "${DLL}: exports [${names}], expected getSvcStatus;start_service;stop_service")
endif()

string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${headers}")
string(REPLACE "DLL Name: " "" imports "${imports}")
set(system KERNEL32.dll ADVAPI32.dll msvcrt.dll)
foreach(dll ${imports})
  if(NOT dll IN_LIST system)
    message(FATAL_ERROR "${DLL}: imports ${dll}, which is not a system DLL")
  endif()
endforeach()
if(NOT imports)
  message(FATAL_ERROR "${DLL}: no import table found")
endif()
message(STATUS "${DLL}: ${FORMAT}, exports ${names}, imports ${imports}")
