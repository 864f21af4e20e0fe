# Cross build for Windows with mingw-w64 (posix thread model, for std::thread and std::mutex).
# 64-bit unless VS_MINGW_PROCESSOR names another target first (cmake/mingw-w64-i686.cmake).
if(NOT VS_MINGW_PROCESSOR)
  set(VS_MINGW_PROCESSOR x86_64)
endif()
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${VS_MINGW_PROCESSOR})
set(CMAKE_C_COMPILER ${VS_MINGW_PROCESSOR}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${VS_MINGW_PROCESSOR}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${VS_MINGW_PROCESSOR}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VS_MINGW_PROCESSOR}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Tests run under Wine, in code page 932 (see cmake/wine-run); 32-bit programs under Wine's
# 32-bit loader (see cmake/wine-loader).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run)
