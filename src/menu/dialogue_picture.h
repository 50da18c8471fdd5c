// The convergence picture of the dialogue's runs, where there is somewhere to show it beside
// the dialogue: the page around a browser's terminal. Elsewhere nothing.
#pragma once

namespace qv {

// From now on the dialogue's runs are watched and their picture shown after each run.
void watchDialogueRuns();

}  // namespace qv
