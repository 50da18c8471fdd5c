# The Windows release of quorvendalist.exe (included by packaging.cmake in the cross build):
#
# - its resources: a version resource from the project's one version, its icon and an
#   application manifest (packaging/win/);
# - the executable stripped and linked without a time stamp, so that the same sources give the
#   same file; its debug information in quorvendalist.exe.debug beside it, linked by
#   .gnu_debuglink so that x86_64-w64-mingw32-addr2line still reads a report's offsets;
# - `make package-windows` (the package_windows target): a zip, the symbols, and the project's
#   own NSIS installer (packaging/win/installer.nsi) into Program Files with a Start-menu
#   entry and, on request, a desktop shortcut and the program's folder on PATH. The zip and the
#   installer hold bin/ with the executable, README.txt, copyright.txt and the Windows manual,
#   quorvendalist.txt, the texts with Windows line ends.
enable_language(RC)

file(STRINGS ${CMAKE_SOURCE_DIR}/debian/copyright copyright_line REGEX "^Copyright: ")
string(REGEX REPLACE "^Copyright: " "" QV_COPYRIGHT "${copyright_line}")
# The name the version resource, the installer and Settings give as the program's maker.
set(QV_PUBLISHER "quorvendalist developers")
set(QV_VERSION_QUAD ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0)
set(QV_MANIFEST ${QV_DOCUMENT_DIR}/quorvendalist.manifest)
configure_file(${CMAKE_SOURCE_DIR}/packaging/win/quorvendalist.manifest ${QV_MANIFEST} @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/packaging/win/quorvendalist.rc.in
               ${QV_DOCUMENT_DIR}/quorvendalist.rc @ONLY)
target_sources(quorvendalist PRIVATE ${QV_DOCUMENT_DIR}/quorvendalist.rc)
set_source_files_properties(
  ${QV_DOCUMENT_DIR}/quorvendalist.rc PROPERTIES OBJECT_DEPENDS
  "${QV_MANIFEST};${CMAKE_SOURCE_DIR}/packaging/win/quorvendalist.ico")
target_link_options(quorvendalist PRIVATE -Wl,--no-insert-timestamp)

add_custom_command(
  TARGET quorvendalist POST_BUILD
  # objcopy stamps each PE file it writes with the time, unless told the source's date.
  COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0 ${CMAKE_OBJCOPY} --only-keep-debug
          quorvendalist.exe quorvendalist.exe.debug
  COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0 ${CMAKE_OBJCOPY} --strip-all
          --add-gnu-debuglink=quorvendalist.exe.debug quorvendalist.exe
  WORKING_DIRECTORY $<TARGET_FILE_DIR:quorvendalist>
  VERBATIM)

# The texts for Windows, with its line ends: README.txt, the copyright file, and the manual
# written for Windows (its console, keys, exit codes and files), not the Unix manual page.
# Their sources are configured files, so a change to any of them makes them anew.
configure_file(${CMAKE_SOURCE_DIR}/packaging/win/README.txt.in ${QV_DOCUMENT_DIR}/README.txt
               @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/packaging/win/quorvendalist.txt.in
               ${QV_DOCUMENT_DIR}/quorvendalist.txt @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/debian/copyright ${QV_DOCUMENT_DIR}/copyright COPYONLY)
set(QV_WINDOWS_TEXT_DIR ${QV_DOCUMENT_DIR}/windows)
file(READ ${QV_DOCUMENT_DIR}/README.txt readme)
file(READ ${QV_DOCUMENT_DIR}/copyright copyright)
file(READ ${QV_DOCUMENT_DIR}/quorvendalist.txt manual)
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

# The installer's PATH editor (packaging/win/installer.nsi says why it is a program).
add_executable(path_entry ${CMAKE_SOURCE_DIR}/packaging/win/path_entry.cc)
target_link_options(path_entry PRIVATE -municode -s)

# `make package-windows` (the package_windows target): in build/windows-release/package the
# zip, the installer and the symbols, each named quorvendalist-VERSION-win64. The zips are made
# by zip -X (no owner, no access time) from files of a fixed date in a fixed order, so the same
# build gives the same zips.
find_program(QV_MAKENSIS makensis)
find_program(QV_ZIP zip)
set(QV_RELEASE_NAME quorvendalist-${PROJECT_VERSION}-win64)
set(stage ${CMAKE_BINARY_DIR}/stage)
set(package_dir ${CMAKE_BINARY_DIR}/package)
set(zip_files ${QV_RELEASE_NAME}/README.txt ${QV_RELEASE_NAME}/bin/quorvendalist.exe
              ${QV_RELEASE_NAME}/copyright.txt ${QV_RELEASE_NAME}/quorvendalist.txt)
add_custom_target(
  package_windows
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${stage}
  COMMAND ${CMAKE_COMMAND} --install ${CMAKE_BINARY_DIR} --prefix ${stage}/${QV_RELEASE_NAME}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:quorvendalist>.debug ${stage}/
  COMMAND ${CMAKE_COMMAND} -E chdir ${stage} touch -d 2000-01-01T00:00:00Z ${zip_files}
          quorvendalist.exe.debug
  COMMAND ${CMAKE_COMMAND} -E make_directory ${package_dir}
  COMMAND ${CMAKE_COMMAND} -E rm -f ${package_dir}/${QV_RELEASE_NAME}.zip
          ${package_dir}/${QV_RELEASE_NAME}-symbols.zip
  COMMAND ${CMAKE_COMMAND} -E chdir ${stage} ${CMAKE_COMMAND} -E env TZ=UTC ${QV_ZIP} -X -D -q
          ${package_dir}/${QV_RELEASE_NAME}.zip ${zip_files}
  COMMAND ${CMAKE_COMMAND} -E chdir ${stage} ${CMAKE_COMMAND} -E env TZ=UTC ${QV_ZIP} -X -D -q
          ${package_dir}/${QV_RELEASE_NAME}-symbols.zip quorvendalist.exe.debug
  COMMAND ${QV_MAKENSIS} -V2 -NOCD -DVERSION=${PROJECT_VERSION} -DVERSION_QUAD=${QV_VERSION_QUAD}
          -DPUBLISHER=${QV_PUBLISHER} -DCOPYRIGHT=${QV_COPYRIGHT}
          -DSTAGE=${stage}/${QV_RELEASE_NAME} -DPATH_ENTRY=$<TARGET_FILE:path_entry>
          -DICON=${CMAKE_SOURCE_DIR}/packaging/win/quorvendalist.ico
          -DOUTFILE=${package_dir}/${QV_RELEASE_NAME}.exe
          ${CMAKE_SOURCE_DIR}/packaging/win/installer.nsi
  DEPENDS quorvendalist path_entry
  VERBATIM)
