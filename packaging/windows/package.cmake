# The Windows package: what goes into voltsentry-<version>-win64.zip and the release build's
# separate debug information. The zip holds one folder with the programs, the libraries, the
# sample configuration and the install and uninstall scripts; install.cmd copies the folder's
# files to the installation directory.
if(NOT WIN32)
  return()
endif()

set(VS_PACKAGE_PROGRAMS wardend wardctl calendr32 svcbridge)
if(TARGET linewatch)
  list(APPEND VS_PACKAGE_PROGRAMS linewatch)
endif()

install(TARGETS ${VS_PACKAGE_PROGRAMS} RUNTIME DESTINATION . LIBRARY DESTINATION .)

# Release builds keep their debug information apart: as each program is installed (into the zip),
# its DWARF goes to debug-info/<file>.debug in the build folder, the installed copy is stripped
# and names its .debug file (with its checksum) by a debug link, so that a debugger given the
# folder finds it. The zip ships the stripped programs only: a user has no use for megabytes of
# debug information, and the .debug files, kept with the build that made the zip, match the
# shipped programs exactly. The build's own programs stay whole for debugging in place.
if(CMAKE_BUILD_TYPE STREQUAL "RelWithDebInfo")
  set(debug_dir ${CMAKE_BINARY_DIR}/debug-info)
  foreach(target ${VS_PACKAGE_PROGRAMS})
    set(installed "\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/$<TARGET_FILE_NAME:${target}>")
    set(debug "${debug_dir}/$<TARGET_FILE_NAME:${target}>.debug")
    install(CODE "
      file(MAKE_DIRECTORY \"${debug_dir}\")
      foreach(step \"--only-keep-debug;${installed};${debug}\" \"--strip-unneeded;${installed}\"
                   \"--add-gnu-debuglink=${debug};${installed}\")
        execute_process(COMMAND \"${CMAKE_OBJCOPY}\" \${step} RESULT_VARIABLE failed)
        if(failed)
          message(FATAL_ERROR \"objcopy \${step} failed\")
        endif()
      endforeach()")
  endforeach()
endif()

# The 32-bit svcbridge.dll for 32-bit installers and tools, when the 32-bit build made one.
if(DEFINED VS_SVCBRIDGE32_DLL)
  install(FILES ${VS_SVCBRIDGE32_DLL} DESTINATION x86)
endif()

# The sample configuration, byte for byte (CP932 text with CRLF line ends).
file(GLOB VS_SAMPLE_CONFIGURATION CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/examples/install/*)
list(FILTER VS_SAMPLE_CONFIGURATION EXCLUDE REGEX "/\\.[^/]*$")  # .gitattributes and the like
install(FILES ${VS_SAMPLE_CONFIGURATION} DESTINATION .)

set(windows_dir ${CMAKE_CURRENT_LIST_DIR})
install(FILES
  ${windows_dir}/install.ps1 ${windows_dir}/install.cmd
  ${windows_dir}/uninstall.ps1 ${windows_dir}/uninstall.cmd
  ${windows_dir}/README.txt
  DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME voltsentry)
set(CPACK_PACKAGE_VENDOR VoltSentry)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME voltsentry-${PROJECT_VERSION}-win64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
include(CPack)
