# Linux installation layout and the Debian package (cpack -G DEB from a release build).
#   /usr/sbin/wardend, /usr/bin/{wardctl,upssim,linewatch}
#   /usr/lib/<multiarch>/voltsentry/libcalendr32.so   private to the service (RUNPATH $ORIGIN)
#   /usr/lib/<multiarch>/libsvcbridge.so.1, /usr/include/svcbridge.h   for installers and tools
#   /etc/voltsentry/registry.ini and the configuration files (conffiles)
#   /var/lib/voltsentry   the installation directory: links to the configuration files and to
#                         srvlog.log in /var/log/voltsentry; the service's own state files
#   /var/log/voltsentry   srvlog.log and the UPS log (upslog)
include(GNUInstallDirs)

set(VS_ETC_DIR /etc/voltsentry)
set(VS_INSTALL_DIR /var/lib/voltsentry)
set(VS_LOG_DIR /var/log/voltsentry)
set(VS_PRIVATE_LIBDIR ${CMAKE_INSTALL_LIBDIR}/voltsentry)
set(VS_PKG ${CMAKE_CURRENT_LIST_DIR})
set(VS_CONFIG_FILES upstab.ini msg.ini upsrc.ini sched.ini graph.ini logitem.ini ststab.txt)

# The service finds its calendar library beside itself whatever the prefix.
set_target_properties(wardend PROPERTIES INSTALL_RPATH "$ORIGIN/../${VS_PRIVATE_LIBDIR}")
install(TARGETS wardend RUNTIME DESTINATION ${CMAKE_INSTALL_SBINDIR})
install(TARGETS calendr32 LIBRARY DESTINATION ${VS_PRIVATE_LIBDIR})
foreach(tool wardctl upssim)
  if(TARGET ${tool})
    install(TARGETS ${tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()
# linewatch installs itself with its desktop entry and icon (src/linewatch/qt).

install(TARGETS svcbridge LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${PROJECT_SOURCE_DIR}/src/svcbridge/svcbridge.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

# Configuration: conffiles in /etc/voltsentry, read by the service through links in the
# installation directory (the profile writer follows a link, so a write-back lands in /etc).
install(FILES ${VS_PKG}/etc/registry.ini DESTINATION ${VS_ETC_DIR})
foreach(f ${VS_CONFIG_FILES})
  if(EXISTS ${VS_PKG}/etc/${f})
    install(FILES ${VS_PKG}/etc/${f} DESTINATION ${VS_ETC_DIR})
  else()
    install(FILES ${PROJECT_SOURCE_DIR}/examples/install/${f} DESTINATION ${VS_ETC_DIR})
  endif()
endforeach()

set(vs_links ${CMAKE_BINARY_DIR}/packaging/var-lib)
file(MAKE_DIRECTORY ${vs_links})
foreach(f ${VS_CONFIG_FILES})
  file(CREATE_LINK ${VS_ETC_DIR}/${f} ${vs_links}/${f} SYMBOLIC)
endforeach()
file(CREATE_LINK ../../log/voltsentry/srvlog.log ${vs_links}/srvlog.log SYMBOLIC)
install(DIRECTORY ${vs_links}/ DESTINATION ${VS_INSTALL_DIR})

install(FILES ${VS_PKG}/voltsentry.service DESTINATION lib/systemd/system)
install(FILES ${VS_PKG}/etc/logrotate.conf DESTINATION /etc/logrotate.d RENAME voltsentry)

# Man pages and the Debian documentation files, compressed as Debian wants them.
find_program(VS_GZIP gzip REQUIRED)
set(vs_doc ${CMAKE_BINARY_DIR}/packaging/doc)
file(MAKE_DIRECTORY ${vs_doc})
set(vs_gz_sources ${VS_PKG}/man/wardend.8 ${VS_PKG}/man/wardctl.1 ${VS_PKG}/man/upssim.1
                  ${VS_PKG}/man/linewatch.1 ${VS_PKG}/debian/changelog)
set(vs_gz_outputs)
foreach(src ${vs_gz_sources})
  get_filename_component(name ${src} NAME)
  if(name STREQUAL changelog)
    set(name changelog.Debian)
  endif()
  # -n: no name or time stamp inside, so the package is the same from build to build.
  add_custom_command(OUTPUT ${vs_doc}/${name}.gz
                     COMMAND ${VS_GZIP} -9nc ${src} > ${vs_doc}/${name}.gz
                     DEPENDS ${src} VERBATIM)
  list(APPEND vs_gz_outputs ${vs_doc}/${name}.gz)
endforeach()
add_custom_target(package_docs ALL DEPENDS ${vs_gz_outputs})
install(FILES ${vs_doc}/wardend.8.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man8)
install(FILES ${vs_doc}/wardctl.1.gz ${vs_doc}/upssim.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
if(TARGET linewatch)
  install(FILES ${vs_doc}/linewatch.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
install(FILES ${vs_doc}/changelog.Debian.gz ${VS_PKG}/debian/copyright
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/voltsentry)

# The package. VOLTSENTRY_PACKAGE_VERSION overrides the version (a test builds a later one to
# check an upgrade).
set(VOLTSENTRY_PACKAGE_VERSION "${PROJECT_VERSION}" CACHE STRING "Version of the Debian package")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME voltsentry)
set(CPACK_PACKAGE_VERSION ${VOLTSENTRY_PACKAGE_VERSION})
set(CPACK_PACKAGE_CONTACT "VoltSentry maintainers <voltsentry@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "UPS supervision service with monitor and tools")
set(CPACK_PACKAGE_DESCRIPTION
"VoltSentry watches a UPS on a serial line, follows mains failures and\n\
restorations, tells administrators and monitors, shuts the system down in\n\
order and has the UPS switch its outputs off and on again. The package holds\n\
the service wardend with its systemd unit, the command-line client wardctl,\n\
the desktop monitor linewatch, the UPS simulator upssim and the libraries.")
# The Debian revision of this packaging of the version; the changelog names both.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://voltsentry.example.org/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libcalendr32 is the package's own: dpkg-shlibdeps finds it in the staging tree.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/src/calendar)
# The public library: a shlibs file for packages that link it, and the ldconfig trigger.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
# The programs are stripped; their debug information goes to voltsentry-dbgsym (.ddeb) under
# /usr/lib/debug/.build-id, where gdb and debuginfod look for it.
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
set(CPACK_POST_BUILD_SCRIPTS ${VS_PKG}/dbgsym_fixup.cmake)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${VS_PKG}/debian/conffiles ${VS_PKG}/debian/postinst ${VS_PKG}/debian/prerm
    ${VS_PKG}/debian/postrm ${VS_PKG}/debian/triggers)
include(CPack)
