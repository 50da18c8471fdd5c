// quorvendalist: three ways of approximating the golden ratio, in a console dialogue.
#include "console/system_console.h"
#include "menu/command.h"

int main(int argc, char** argv) {
  qv::useSystemConsole();
  qv::runProgram(argc, argv);
}
