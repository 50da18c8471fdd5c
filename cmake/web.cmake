# The WebAssembly build (Emscripten): the program for a page (quorvendalist.js and .wasm, loaded
# by web/index.html), the same program for node with the host's files (quorvendalist-node.js,
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
# The page's program is a module that the page starts, again for every new start.
target_link_options(quorvendalist PRIVATE ${qv_web_link_options} -sENVIRONMENT=web
                    -sMODULARIZE=1 -sEXPORT_NAME=createQuorvendalist)
set_target_properties(quorvendalist PROPERTIES LINK_DEPENDS ${qv_page_library})
# Every program made from here on (the program for node, the tests and their helpers) runs
# under node and reads and writes the host's files.
add_link_options(${qv_web_link_options} -sENVIRONMENT=node -sNODERAWFS=1)
add_executable(quorvendalist_node src/main.cc)
target_link_libraries(quorvendalist_node PRIVATE qv_menu)
set_target_properties(quorvendalist_node PROPERTIES OUTPUT_NAME quorvendalist-node)
