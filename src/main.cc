// quorvendalist: three ways of approximating the golden ratio, in a console dialogue.
#include "console/linux/terminal_console.h"
#include "menu/command.h"

int main(int argc, char** argv) {
  qv::useTerminalConsole();
  qv::runProgram(argc, argv);
}
