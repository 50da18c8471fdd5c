// Input that runs out wherever the dialogue stands. The lines are piped into the real Linux
// program, which ends when they run out; its rows are then read off the terminal.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/e2e_dialogue.h"

namespace qv::e2e {
namespace {

// Input that runs out ends the program normally wherever it stands: before the first menu line,
// at a prompt for n, at the pause and at the exit question; an exit word piped in leaves too. A
// last line without its line end is still a line, and the line end of the last one is no
// second Enter: one menu. Only the exact lowercase letter chooses a method, and only the exact
// exit word leaves. An invalid n ends the run with run-time error 106 and its report.
TEST(PipedInput, RunsTheDialogueUntilTheLinesRunOut) {
  const struct {
    const char* input;
    int exitCode, menus;
    std::string lastText;  // a row from the last banner on
  } cases[] = {{"", 0, 1, menuQuestion},
               {"a\n", 0, 1, repetitionsPrompt},
               {"c\n3\n", 0, 1, ratioPause},
               {"b\n1\n", 0, 1, "=>"},
               {"a\n5\nesci\n", 0, 1, "=>esci"},
               {"a\n5", 0, 1, "phi~= 1.625000000000000"},
               {"a\n5\n", 0, 1, "phi~= 1.625000000000000"},
               {"A\nEsci\n a\nesci \nbxyz\n1\nESCI\n", 0, 3, "phi~= 1.000000000000000"},
               {"a\n12abc\n", 106, 1, "12abc"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    PtyOptions options;
    options.pipedInput = c.input;
    PtySession session(options);
    ASSERT_TRUE(session.waitForExit());
    EXPECT_EQ(session.exitCode(), c.exitCode) << session.report();
    const std::vector<CellRow> rows = everyRow(session.screen());
    int menus = 0, reports = 0;
    for (const CellRow& row : rows) {
      menus += textOf(row) == banner;
      reports += textOf(row).starts_with("Runtime error 106 at 0x");
    }
    EXPECT_EQ(menus, c.menus) << session.report();
    EXPECT_NE(lastRowWithText(rows, c.lastText, std::max(lastRowWithText(rows, banner), 0)), -1)
        << session.report();
    EXPECT_EQ(reports, c.exitCode != 0) << session.report();
  }
}

// Keys from a pipe: the terminal, which they do not come from, is never asked where its cursor
// is, not even after a resize, so that no answer is left in its input for the shell.
TEST(PipedInput, TheTerminalIsNotAskedWhereItsCursorIs) {
  PtyOptions options;
  options.inChild = [] {
    int keys[2];
    if (pipe(keys) == 0) dup2(keys[0], STDIN_FILENO);  // its writing end stays open: no end
  };
  PtySession session(options);
  ASSERT_TRUE(waitForMenu(session));
  const std::size_t before = session.received().size();
  session.resize(30, 100);
  ASSERT_TRUE(session.waitFor(
      [&](const VtermScreen&) { return session.received().size() > before; }, "the new size"));
  EXPECT_EQ(session.received().find("\x1b[6n", before), std::string::npos);
}

}  // namespace
}  // namespace qv::e2e
