// The end of the process in WebAssembly. Under node the run-time exits with the status, which
// ends node with it. In a browser the page hears of the end (its onExit) once its terminal has
// parsed and drawn the last byte, and the module's stack is put aside for good (Asyncify), so
// nothing of the program runs any more and nothing is thrown through the page.
#include "runtime/process_end.h"

#include <emscripten.h>

#include "web/page.h"

namespace qv {

void endProcess(int status) {
  if (pageTerminalPresent()) qv_endOnPage(status);
  emscripten_force_exit(status);
  __builtin_unreachable();
}

}  // namespace qv
