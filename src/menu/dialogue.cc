// Apart from the command's code, so that a program that is only the dialogue (the page's) links
// none of it.
#include "console/console_state.h"
#include "menu/command.h"
#include "menu/dialogue_picture.h"
#include "menu/menu_loop.h"
#include "runtime/startup.h"

namespace qv {

void runDialogue() {
  watchDialogueRuns();
  startProgram(initConsole, runMenuLoop);
}

}  // namespace qv
