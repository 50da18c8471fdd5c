// Runs the whole program dialogue in a child process on an in-memory console: the keys are
// typed in advance, and the screen is sent back when the program ends or when it waits for a
// key that was never typed. runMenuLoop never returns, so a child is the only way to see every
// end it can take (exit words, run-time errors) without losing the test process.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "console/console_platform.h"

namespace qv::testsupport {

struct ScreenShot {
  int columns = 0;
  int rows = 0;
  ConsoleCoord cursor{0, 0};
  std::vector<ConsoleCell> cells;

  ConsoleCell cell(int column, int row) const { return cells[std::size_t(row) * columns + column]; }
  std::string rowText(int row) const;  // trailing blanks dropped
  // The 0-based row that reads exactly text, or -1.
  int findRow(std::string_view text) const;
  std::string dump() const;  // numbered rows, for failure messages
};

enum class DialogueEnd {
  waitingForKeys,  // every typed key was used and the program asked for more
  exited,          // the process ended by itself; see exitCode
  killed,          // a signal (a crash, or the watchdog of a hung run)
};

struct DialogueOutcome {
  DialogueEnd end = DialogueEnd::killed;
  int exitCode = -1;
  ScreenShot screen;
  std::string standardOutput;  // what reached the process's own standard output (the report)
};

// Screens are 80 columns wide like the console the dialogue was laid out for; tall enough by
// default that one pass does not scroll. Enter is typed as '\r'.
DialogueOutcome runDialogue(std::string_view keys, int rows = 50);

}  // namespace qv::testsupport
