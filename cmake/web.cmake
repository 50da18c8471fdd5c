# The WebAssembly build (Emscripten): the program for a page (quorvendalist.js and .wasm, loaded
# by web/index.html), the same program for node with the host's files (quorvendalist-node.js,
# for scripts and the tests), and every test program for node.
#
# Every program can raise a run-time error, whose address is the return address of a call:
# the offset converter gives it. Exit codes reach node, and the page hears of the end (onExit).
# The key wait gives control back to the browser (Asyncify, console/web/keyboard.cc).
set(qv_web_link_options -sUSE_OFFSET_CONVERTER=1 -sALLOW_MEMORY_GROWTH=1 -sEXIT_RUNTIME=1
    -sASYNCIFY=1)
# The page's program is a module that the page starts, again for every new start.
target_link_options(quorvendalist PRIVATE ${qv_web_link_options} -sENVIRONMENT=web
                    -sMODULARIZE=1 -sEXPORT_NAME=createQuorvendalist)
# Every program made from here on (the program for node, the tests and their helpers) runs
# under node and reads and writes the host's files.
add_link_options(${qv_web_link_options} -sENVIRONMENT=node -sNODERAWFS=1)
add_executable(quorvendalist_node src/main.cc)
target_link_libraries(quorvendalist_node PRIVATE qv_menu)
set_target_properties(quorvendalist_node PROPERTIES OUTPUT_NAME quorvendalist-node)
