# Run by CPack after it has built the Debian packages (CPACK_POST_BUILD_SCRIPTS): the debug
# symbols package that CPack 3.25 makes lists its files in md5sums by their paths in CPack's
# staging folder and has no copyright file or changelog; Debian's quorvendalist-dbgsym has the
# right md5sums and shares the program's documents, and this makes it so. (CPack names it .ddeb, which
# cmake/debian-package.sh turns into Debian's .deb once CPack has handed it over.)
foreach(built ${CPACK_PACKAGE_FILES})
  if(NOT built MATCHES "-dbgsym_[^/]*\\.ddeb$")
    continue()
  endif()
  set(root ${CPACK_TOPLEVEL_DIRECTORY}/dbgsym-root)
  file(REMOVE_RECURSE ${root})
  execute_process(COMMAND dpkg-deb -R ${built} ${root} COMMAND_ERROR_IS_FATAL ANY)
  # Its documents are the program's, whose exact version it depends on.
  file(MAKE_DIRECTORY ${root}/usr/share/doc)
  file(CREATE_LINK ${CPACK_PACKAGE_NAME} ${root}/usr/share/doc/${CPACK_PACKAGE_NAME}-dbgsym SYMBOLIC)
  file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${root} ${root}/usr/lib/*)
  list(SORT files)
  set(sums "")
  foreach(path ${files})
    # Debug files are data, read by the debugger: not executable, as Debian ships them.
    file(CHMOD ${root}/${path} PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
    file(MD5 ${root}/${path} sum)
    string(APPEND sums "${sum}  ${path}\n")
  endforeach()
  file(WRITE ${root}/DEBIAN/md5sums "${sums}")
  file(REMOVE ${built})
  execute_process(COMMAND dpkg-deb --root-owner-group -Zxz -b ${root} ${built}
                  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE ${root})
endforeach()
