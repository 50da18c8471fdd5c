// quorvendalist: three ways of approximating the golden ratio, in a console dialogue.
#include "console/console_state.h"
#include "console/linux/terminal_console.h"
#include "menu/menu_loop.h"
#include "textio/startup.h"

int main() {
  qv::useTerminalConsole();
  qv::startProgram(qv::initConsole, qv::runMenuLoop);
}
