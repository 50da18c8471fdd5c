// The end of the process in WebAssembly. Under node the run-time exits with the status, which
// ends node with it. In a browser the page hears of the end (its onExit) once its terminal has
// parsed and drawn the last byte, and the module's stack is put aside for good (Asyncify), so
// nothing of the program runs any more and nothing is thrown through the page.
#include "runtime/process_end.h"

#include <emscripten.h>

#include "channels/web/page_terminal.h"

namespace qv {

// clang-format off
EM_ASYNC_JS(void, qv_endOnPage, (int status), {
  await new Promise(function(resolve) { Module['terminal'].write("", resolve); });
  await new Promise(function(resolve) { requestAnimationFrame(function() { resolve(); }); });
  if (Module['onExit']) Module['onExit'](status);
  await new Promise(function() {});
});
// clang-format on

void endProcess(int status) {
  if (pageTerminalPresent()) qv_endOnPage(status);
  emscripten_force_exit(status);
  __builtin_unreachable();
}

}  // namespace qv
