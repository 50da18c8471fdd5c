# The WebAssembly build (Emscripten): the program for a page (quorvendalist.js and .wasm, loaded
# by page/index.html), the same program for node with the host's files (quorvendalist-node.js,
# for scripts and the tests), and every test program for node.
#
# Every program can raise a run-time error, whose address is the return address of a call:
# the offset converter gives it. Exit codes reach node, and the page hears of the end (onExit).
# Every import from the page is defined in one JavaScript library, src/web/page.js; the ones
# that give the browser control back until it answers (the key wait, a turn for the page, the
# end) put the module's stack aside meanwhile (Asyncify).
set(qv_page_library ${CMAKE_SOURCE_DIR}/src/web/page.js)
set(qv_web_link_options -sUSE_OFFSET_CONVERTER=1 -sALLOW_MEMORY_GROWTH=1 -sEXIT_RUNTIME=1
    -sASYNCIFY=1 "SHELL:--js-library ${qv_page_library}"
    "-sASYNCIFY_IMPORTS=['qv_giveThreadToPage','qv_waitForPage','qv_endOnPage']")
# The page's program is a module that the page starts, again for every new start. It opens no
# file (its standard handles are the page's terminal): without Emscripten's file system its
# JavaScript is 9 KB gzipped instead of 22.
# Its main is the dialogue alone: the page's wasm has none of the command's code.
set_property(TARGET quorvendalist PROPERTY SOURCES ${CMAKE_SOURCE_DIR}/src/web/page_main.cc)
# Its main waits for the page's terminal through a run dependency, so that the WebAssembly can
# compile while the page gets ready.
target_link_options(quorvendalist PRIVATE ${qv_web_link_options} -sENVIRONMENT=web
                    -sMODULARIZE=1 -sEXPORT_NAME=createQuorvendalist -sFILESYSTEM=0
                    "-sEXPORTED_RUNTIME_METHODS=['addRunDependency','removeRunDependency']")
set_target_properties(quorvendalist PROPERTIES LINK_DEPENDS ${qv_page_library})
# Every program made from here on (the program for node, the tests and their helpers) runs
# under node and reads and writes the host's files.
add_link_options(${qv_web_link_options} -sENVIRONMENT=node -sNODERAWFS=1)
add_executable(quorvendalist_node src/main.cc)
target_link_libraries(quorvendalist_node PRIVATE qv_menu)
set_target_properties(quorvendalist_node PROPERTIES OUTPUT_NAME quorvendalist-node)

# The page (the `page` target, `make web`): a folder of static files to publish anywhere,
# build/web/page: the page from page/, the program for it, xterm.js and its fit add-on from
# page/node_modules (`npm ci` there, as the lockfile pins them), and the font cut to the glyphs
# the program draws.
# Both are the host's, outside Emscripten's system root.
find_file(QV_PAGE_FONT DejaVuSansMono.ttf PATHS /usr/share/fonts/truetype/dejavu
          DOC "The monospaced TrueType font the page's glyphs are cut from (fonts-dejavu-core)"
          NO_CMAKE_FIND_ROOT_PATH REQUIRED)
find_program(QV_PAGE_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH
             DOC "A Python 3 with fontTools (Debian's python3-fonttools, python3-brotli)" REQUIRED)
set(qv_page_source ${CMAKE_SOURCE_DIR}/page)
set(QV_PAGE_DIR ${CMAKE_BINARY_DIR}/page CACHE PATH "Where the page's files are gathered")
file(MAKE_DIRECTORY ${QV_PAGE_DIR})
set(qv_page_copies
    ${qv_page_source}/index.html ${qv_page_source}/picture.js ${qv_page_source}/picture.css
    ${qv_page_source}/node_modules/@xterm/xterm/lib/xterm.js
    ${qv_page_source}/node_modules/@xterm/xterm/css/xterm.css
    ${qv_page_source}/node_modules/@xterm/addon-fit/lib/addon-fit.js)
set(qv_page_files)
foreach(source ${qv_page_copies})
  get_filename_component(name ${source} NAME)
  add_custom_command(OUTPUT ${QV_PAGE_DIR}/${name}
                     COMMAND ${CMAKE_COMMAND} -E copy ${source} ${QV_PAGE_DIR}/${name}
                     DEPENDS ${source} VERBATIM)
  list(APPEND qv_page_files ${QV_PAGE_DIR}/${name})
endforeach()
foreach(name quorvendalist.js quorvendalist.wasm)
  add_custom_command(OUTPUT ${QV_PAGE_DIR}/${name}
                     COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_BINARY_DIR}/${name}
                             ${QV_PAGE_DIR}/${name}
                     DEPENDS quorvendalist VERBATIM)
  list(APPEND qv_page_files ${QV_PAGE_DIR}/${name})
endforeach()
add_custom_command(OUTPUT ${QV_PAGE_DIR}/cp437.woff2
                   COMMAND ${QV_PAGE_PYTHON} ${qv_page_source}/cp437_font.py
                           ${CMAKE_SOURCE_DIR}/src/console/terminal/cp437.cc ${QV_PAGE_FONT}
                           ${QV_PAGE_DIR}/cp437.woff2
                   DEPENDS ${qv_page_source}/cp437_font.py
                           ${CMAKE_SOURCE_DIR}/src/console/terminal/cp437.cc
                   VERBATIM)
list(APPEND qv_page_files ${QV_PAGE_DIR}/cp437.woff2)
add_custom_target(page DEPENDS ${qv_page_files})
