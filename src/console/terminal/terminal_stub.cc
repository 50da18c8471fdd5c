// Stub: replaced by the real terminal platform.
#include "console/terminal/terminal_console.h"

namespace qv {
void useTerminalConsole() {}
}  // namespace qv
