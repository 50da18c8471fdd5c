// Which menu lines start a method, and input that runs out wherever the dialogue stands. The
// lines are piped into the real Linux program, which ends when they run out; its rows are then
// read off the terminal from the last banner on. (The exit answers are the long run's, the
// prompt for n reads through the integer syntax of tests/textio/input_test.cc.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/e2e_dialogue.h"

namespace qv::e2e {
namespace {

constexpr int titleRow = 10;
constexpr int exitQuestionRow = 13;  // where the question stands when nothing runs

struct Outcome {
  int exitCode = -1;
  std::vector<std::string> rows;  // from the last banner on
  std::string report;

  std::string row(int index) const { return index < int(rows.size()) ? rows[index] : ""; }
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
  for (int i = std::max(lastRowWithText(rows, banner), 0); i < int(rows.size()); ++i) {
    run.rows.push_back(textOf(rows[std::size_t(i)]));
  }
  return run;
}

// Only the first character of the menu line counts, and only the three lowercase letters: a
// method shows its title below the menu line, no method leads straight to the exit question.
TEST(MenuDispatch, TheFirstCharacterOfTheLineChooses) {
  // clang-format off
  const std::pair<const char*, std::string> lines[] = {
      {"a", "FUNZIONE CONTINUA"}, {"b", "RADICI NIDIFICATE"}, {"c", "SEQUENZA DI FIBONACCI"},
      {"abc", "FUNZIONE CONTINUA"}, {"bzz", "RADICI NIDIFICATE"},
      {"A", ""}, {"B", ""}, {"d", ""}, {"1", ""}, {" ", ""}, {" a", ""}, {"", ""}};
  // clang-format on
  for (const auto& [line, title] : lines) {
    SCOPED_TRACE(std::string("menu line \"") + line + "\"");
    const Outcome run = runWith(std::string(line) + "\n");
    EXPECT_EQ(run.exitCode, 0) << run.report;
    EXPECT_EQ(run.find(exitQuestion), title.empty() ? exitQuestionRow : -1) << run.report;
    EXPECT_EQ(run.row(titleRow), title);
    for (int row = 9; title.empty() && row < exitQuestionRow; ++row) {
      EXPECT_EQ(run.row(row), "") << row;
    }
  }
}

// Input that runs out ends the program normally wherever it stands: before the first menu line,
// at a prompt for n, at the pause and at the exit question; an exit word piped in leaves too.
TEST(PipedInput, RunsTheDialogueAndEndsWithCodeZero) {
  const std::pair<const char*, std::string> cases[] = {{"", menuQuestion},
                                                       {"a\n", repetitionsPrompt},
                                                       {"c\n3\n", ratioPause},
                                                       {"b\n1\n", "=>"},
                                                       {"a\n5\nesci\n", "=>esci"}};
  for (const auto& [input, lastText] : cases) {
    SCOPED_TRACE(input);
    const Outcome run = runWith(input);
    EXPECT_EQ(run.exitCode, 0) << run.report;
    EXPECT_NE(run.find(lastText), -1) << run.report;
    EXPECT_EQ(run.find("Runtime error"), -1) << run.report;
  }
}

}  // namespace
}  // namespace qv::e2e
