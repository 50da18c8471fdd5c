# Installing and packaging: the program, its manual page and its bash completion, and for the
# Debian package the copyright file and the changelog that Debian's policy asks for. `make install` and
# `make package` run these rules; the Windows release has its own (windows-release.cmake).
set(CPACK_PACKAGE_NAME quorvendalist)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "approximate the golden ratio three ways, in a console dialogue")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)

# The manual page carries the project's version.
set(QV_DOCUMENT_DIR ${CMAKE_BINARY_DIR}/documents)
configure_file(${CMAKE_SOURCE_DIR}/docs/quorvendalist.1.in ${QV_DOCUMENT_DIR}/quorvendalist.1
               @ONLY)

if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/windows-release.cmake)
  return()
endif()

include(GNUInstallDirs)
set(QV_PACKAGE_MAINTAINER "quorvendalist developers <quorvendalist@example.org>"
    CACHE STRING "Maintainer named in the Debian package and its changelog")

# The changelog carries the version too. Both are installed compressed without a name or a time
# stamp (gzip -n), so the same sources always give the same package.
configure_file(${CMAKE_SOURCE_DIR}/packaging/changelog.in ${QV_DOCUMENT_DIR}/changelog @ONLY)
find_program(QV_GZIP gzip REQUIRED)
set(compressed_documents)
foreach(document quorvendalist.1 changelog)
  add_custom_command(
    OUTPUT ${QV_DOCUMENT_DIR}/${document}.gz
    COMMAND ${QV_GZIP} -9 -n -k -f ${document}
    DEPENDS ${QV_DOCUMENT_DIR}/${document}
    WORKING_DIRECTORY ${QV_DOCUMENT_DIR}
    VERBATIM)
  list(APPEND compressed_documents ${QV_DOCUMENT_DIR}/${document}.gz)
endforeach()
add_custom_target(qv_documents ALL DEPENDS ${compressed_documents})

# Directories as Debian wants them whatever the umask of whoever builds.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
install(TARGETS quorvendalist RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${QV_DOCUMENT_DIR}/quorvendalist.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright ${QV_DOCUMENT_DIR}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/bash-completion/quorvendalist
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_CONTACT ${QV_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "quorvendalist shows three ways of approximating the golden ratio phi: the
continued fraction, the nested radicals and the ratios of consecutive Fibonacci
numbers, each step computed in 80-bit extended precision and printed with
exactly 15 decimals. It runs an interactive Italian dialogue on the terminal,
drawn in colour with its own line editor, and also writes the digits of a
method to standard output, as plain lines or CSV, for scripts.")
set(CPACK_DEBIAN_PACKAGE_SECTION math)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Depends from the shared libraries the program links, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The program is stripped, and its debug information goes into a package of its own, as Debian
# ships it: quorvendalist-dbgsym, the file under /usr/lib/debug/.build-id where gdb finds it by
# the program's build ID. (CPack strips the program itself for that; CPACK_STRIP_FILES would
# leave it nothing to keep.)
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/debian-dbgsym.cmake)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
