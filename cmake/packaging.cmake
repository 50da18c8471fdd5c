# Installing: the program, its manual page, its bash completion, the copyright file and the
# changelog. `make install` runs these rules, and so does the Debian package (debian/rules,
# `make deb`); the Windows release has its own (windows-release.cmake).
set(CPACK_PACKAGE_NAME quorvendalist)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "approximate the golden ratio three ways, in a console dialogue")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)

# The manual page carries the project's version, and the date of its changelog entry
# (QV_RELEASE_DATE, CMakeLists.txt).
set(QV_DOCUMENT_DIR ${CMAKE_BINARY_DIR}/documents)
configure_file(${CMAKE_SOURCE_DIR}/docs/quorvendalist.1.in ${QV_DOCUMENT_DIR}/quorvendalist.1
               @ONLY)

if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/windows-release.cmake)
  return()
endif()

include(GNUInstallDirs)

# The changelog of the Debian package (debian/changelog) is the project's; it is installed
# compressed without a name or a time stamp (gzip -n), so the same sources give the same files.
find_program(QV_GZIP gzip REQUIRED)
add_custom_command(
  OUTPUT ${QV_DOCUMENT_DIR}/quorvendalist.1.gz
  COMMAND ${QV_GZIP} -9 -n -k -f quorvendalist.1
  DEPENDS ${QV_DOCUMENT_DIR}/quorvendalist.1
  WORKING_DIRECTORY ${QV_DOCUMENT_DIR}
  VERBATIM)
add_custom_command(
  OUTPUT ${QV_DOCUMENT_DIR}/changelog.gz
  COMMAND ${QV_GZIP} -9 -n -c ${CMAKE_SOURCE_DIR}/debian/changelog > changelog.gz
  DEPENDS ${CMAKE_SOURCE_DIR}/debian/changelog
  WORKING_DIRECTORY ${QV_DOCUMENT_DIR}
  VERBATIM)
add_custom_target(qv_documents ALL DEPENDS ${QV_DOCUMENT_DIR}/quorvendalist.1.gz
                                           ${QV_DOCUMENT_DIR}/changelog.gz)

# Directories as Debian wants them whatever the umask of whoever builds.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
install(TARGETS quorvendalist RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${QV_DOCUMENT_DIR}/quorvendalist.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_SOURCE_DIR}/debian/copyright ${QV_DOCUMENT_DIR}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/bash-completion/quorvendalist
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
