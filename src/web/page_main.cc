// quorvendalist in a page: the dialogue, since a page passes no command line (the commands are
// the program for node's, quorvendalist-node.js).
#include "console/system_console.h"
#include "menu/command.h"

int main() {
  qv::useSystemConsole();
  qv::runDialogue();
}
