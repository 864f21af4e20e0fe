# Run by cpack after the packages are made. CPack's -dbgsym package lists absolute build paths
# in its md5sums, so dpkg could never verify it; the package is rebuilt with its md5sums relative
# to the root and, as Debian's debug packages have, its documentation folder linked to the main
# package's (copyright and changelog).
find_program(DPKG_DEB dpkg-deb REQUIRED)
foreach(ddeb IN LISTS CPACK_PACKAGE_FILES)
  if(NOT ddeb MATCHES "\\.ddeb$")
    continue()
  endif()
  get_filename_component(dir "${ddeb}" DIRECTORY)
  set(tree "${dir}/dbgsym-fixup")
  file(REMOVE_RECURSE "${tree}")
  execute_process(COMMAND ${DPKG_DEB} -R "${ddeb}" "${tree}" COMMAND_ERROR_IS_FATAL ANY)
  file(MAKE_DIRECTORY "${tree}/usr/share/doc")
  file(CREATE_LINK ${CPACK_PACKAGE_NAME} "${tree}/usr/share/doc/${CPACK_PACKAGE_NAME}-dbgsym" SYMBOLIC)
  file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${tree}" "${tree}/usr/*")
  list(SORT files)
  set(sums "")
  foreach(f IN LISTS files)
    if(NOT IS_SYMLINK "${tree}/${f}")
      file(MD5 "${tree}/${f}" sum)
      string(APPEND sums "${sum}  ${f}\n")
    endif()
  endforeach()
  file(WRITE "${tree}/DEBIAN/md5sums" "${sums}")
  execute_process(COMMAND ${DPKG_DEB} --root-owner-group -Zxz -b "${tree}" "${ddeb}"
                  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE "${tree}")
endforeach()
