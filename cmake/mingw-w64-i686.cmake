# Cross build for 32-bit Windows with mingw-w64, as the 64-bit build. Used for the 32-bit
# svcbridge.dll that 32-bit installers and tools load; linked statically like the 64-bit programs
# (see the top CMakeLists.txt), so it needs no run-time DLLs beside it.
set(VS_MINGW_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
