#include "menu/dialogue_picture.h"

namespace qv {

// A terminal has no room beside the dialogue: `quorvendalist --plot` draws the picture there.
void watchDialogueRuns() {}

}  // namespace qv
