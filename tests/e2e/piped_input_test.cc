// Input that runs out wherever the dialogue stands. The lines are piped into the real Linux
// program, which ends when they run out; its rows are then read off the terminal from the last
// banner on. (Which menu lines choose a method and which answers leave: the long run.)
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/e2e_dialogue.h"

namespace qv::e2e {
namespace {

struct Outcome {
  int exitCode = -1;
  std::vector<std::string> rows;  // from the last banner on
  std::string report;
  int banners = 0;  // menus drawn

  int find(const std::string& text) const {
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (rows[i] == text) return int(i);
    }
    return -1;
  }
};

Outcome runWith(const std::string& input) {
  PtyOptions options;
  options.pipedInput = input;
  PtySession session(options);
  EXPECT_TRUE(session.waitForExit());
  Outcome run{session.exitCode(), {}, session.report()};
  const std::vector<CellRow> rows = everyRow(session.screen());
  for (const CellRow& row : rows) run.banners += textOf(row) == banner;
  for (int i = std::max(lastRowWithText(rows, banner), 0); i < int(rows.size()); ++i) {
    run.rows.push_back(textOf(rows[std::size_t(i)]));
  }
  return run;
}

// Input that runs out ends the program normally wherever it stands: before the first menu line,
// at a prompt for n, at the pause and at the exit question; an exit word piped in leaves too. A
// last line without its line end is still a line, and the line end of the last one is no
// second Enter: one menu.
TEST(PipedInput, RunsTheDialogueAndEndsWithCodeZero) {
  const struct {
    const char* input;
    std::string lastText;
  } cases[] = {{"", menuQuestion},
               {"a\n", repetitionsPrompt},
               {"c\n3\n", ratioPause},
               {"b\n1\n", "=>"},
               {"a\n5\nesci\n", "=>esci"},
               {"a\n5", "phi~= 1.625000000000000"},
               {"a\n5\n", "phi~= 1.625000000000000"}};
  for (const auto& [input, lastText] : cases) {
    SCOPED_TRACE(input);
    const Outcome run = runWith(input);
    EXPECT_EQ(run.exitCode, 0) << run.report;
    EXPECT_NE(run.find(lastText), -1) << run.report;
    EXPECT_EQ(run.banners, 1);
    EXPECT_EQ(run.find("Runtime error"), -1) << run.report;
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
