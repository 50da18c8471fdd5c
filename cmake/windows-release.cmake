# The Windows release of quorvendalist.exe (included by packaging.cmake in the cross build):
#
# - its resources: a version resource from the project's one version and an application
#   manifest (packaging/windows/);
# - the executable stripped, its debug information in quorvendalist.exe.debug beside it, linked
#   by .gnu_debuglink so that x86_64-w64-mingw32-addr2line still reads a report's offsets;
# - `make package-windows` (CPack): a zip, and an NSIS installer into Program Files with a
#   Start-menu entry and, on request, the program's folder on PATH. Both hold bin/ with the
#   executable, README.txt, copyright.txt and the manual page as text, quorvendalist.txt, the
#   texts with Windows line ends.
enable_language(RC)

file(STRINGS ${CMAKE_SOURCE_DIR}/debian/copyright copyright_line REGEX "^Copyright: ")
string(REGEX REPLACE "^Copyright: " "" QV_COPYRIGHT "${copyright_line}")
string(REGEX REPLACE "^[-0-9, ]+" "" QV_COPYRIGHT_HOLDER "${QV_COPYRIGHT}")
set(QV_VERSION_QUAD ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0)
set(QV_MANIFEST ${QV_DOCUMENT_DIR}/quorvendalist.manifest)
configure_file(${CMAKE_SOURCE_DIR}/packaging/windows/quorvendalist.manifest ${QV_MANIFEST} @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/packaging/windows/quorvendalist.rc.in
               ${QV_DOCUMENT_DIR}/quorvendalist.rc @ONLY)
target_sources(quorvendalist PRIVATE ${QV_DOCUMENT_DIR}/quorvendalist.rc)
set_source_files_properties(${QV_DOCUMENT_DIR}/quorvendalist.rc PROPERTIES OBJECT_DEPENDS
                                                                          ${QV_MANIFEST})

add_custom_command(
  TARGET quorvendalist POST_BUILD
  COMMAND ${CMAKE_OBJCOPY} --only-keep-debug quorvendalist.exe quorvendalist.exe.debug
  COMMAND ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=quorvendalist.exe.debug
          quorvendalist.exe
  WORKING_DIRECTORY $<TARGET_FILE_DIR:quorvendalist>
  VERBATIM)

# The texts for Windows, with its line ends; the manual page rendered as plain text, without
# the overstrikes a terminal would show as bold and underlined. Their sources are configured
# files, so a change to any of them makes them anew.
find_program(QV_MANDOC mandoc REQUIRED)
configure_file(${CMAKE_SOURCE_DIR}/packaging/windows/README.txt.in ${QV_DOCUMENT_DIR}/README.txt
               @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/debian/copyright ${QV_DOCUMENT_DIR}/copyright COPYONLY)
set(QV_WINDOWS_TEXT_DIR ${QV_DOCUMENT_DIR}/windows)
file(READ ${QV_DOCUMENT_DIR}/README.txt readme)
file(READ ${QV_DOCUMENT_DIR}/copyright copyright)
execute_process(COMMAND ${QV_MANDOC} -T ascii ${QV_DOCUMENT_DIR}/quorvendalist.1
                OUTPUT_VARIABLE manual COMMAND_ERROR_IS_FATAL ANY)
string(ASCII 8 backspace)
string(REGEX REPLACE ".${backspace}" "" manual "${manual}")
set(windows_texts)
foreach(text readme copyright manual)
  set(name ${text}.txt)
  if(text STREQUAL "readme")
    set(name README.txt)
  elseif(text STREQUAL "manual")
    set(name quorvendalist.txt)
  endif()
  string(REPLACE "\n" "\r\n" crlf "${${text}}")
  file(WRITE ${QV_WINDOWS_TEXT_DIR}/${name} "${crlf}")
  list(APPEND windows_texts ${QV_WINDOWS_TEXT_DIR}/${name})
endforeach()

install(TARGETS quorvendalist RUNTIME DESTINATION bin)
install(FILES ${windows_texts} DESTINATION .)

set(CPACK_GENERATOR ZIP NSIS)
set(CPACK_PACKAGE_VENDOR "quorvendalist developers")
set(CPACK_PACKAGE_INSTALL_DIRECTORY quorvendalist)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY quorvendalist)
# The Start-menu entry: a console program started from it opens a console of its own.
set(CPACK_PACKAGE_EXECUTABLES quorvendalist quorvendalist)
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_DISPLAY_NAME "quorvendalist ${PROJECT_VERSION}")
set(CPACK_NSIS_PACKAGE_NAME quorvendalist)  # also the Start-menu folder
set(CPACK_NSIS_INSTALLED_ICON_NAME "bin\\\\quorvendalist.exe")
set(CPACK_NSIS_MODIFY_PATH ON)  # an options page: PATH for all users, this user, or not at all
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
# The uninstaller removes the program's registry key under the vendor's but leaves the vendor's
# own, empty; this runs after that removal (among the Start-menu deletions).
set(CPACK_NSIS_DELETE_ICONS_EXTRA
    "DeleteRegKey /ifempty SHCTX 'Software\\\\${CPACK_PACKAGE_VENDOR}'")
set(CPACK_RESOURCE_FILE_LICENSE ${QV_WINDOWS_TEXT_DIR}/copyright.txt)
include(CPack)
