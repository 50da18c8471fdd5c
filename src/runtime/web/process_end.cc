// The end of the process in WebAssembly: the run-time exits with the status, which ends node
// with it; in a browser the page hears of it (its onExit) and shows the end.
#include "runtime/process_end.h"

#include <emscripten.h>

namespace qv {

void endProcess(int status) {
  emscripten_force_exit(status);
  __builtin_unreachable();
}

}  // namespace qv
