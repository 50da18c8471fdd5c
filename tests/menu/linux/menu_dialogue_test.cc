// The choices the dialogue reacts to: which menu lines start a method, which answers leave,
// and how the prompt for n reads its number. The lines are piped into the real Linux program, which
// ends when they run out; its rows are then read off the terminal from the last banner on.
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

// The answer is cut to five characters and compared exactly: no case folding, no trimming.
// Any other answer starts a new pass on a cleared screen.
TEST(ExitQuestion, OnlyTheExactWordsLeave) {
  const std::pair<const char*, bool> answers[] = {
      {"esci", true},   {"ESCI", true},      {"Esci", false},  {"esc", false},
      {"escii", false}, {"esci ", false},    {" esci", false}, {"esci!!!", false},
      {"", false},      {"ESCIesci", false}, {"eSCI", false},
  };
  for (const auto& [typed, leaves] : answers) {
    SCOPED_TRACE(std::string("answer \"") + typed + "\"");
    const Outcome run = runWith(std::string("x\n") + typed + "\n");
    EXPECT_EQ(run.exitCode, 0) << run.report;
    EXPECT_EQ(run.find(exitQuestion), leaves ? exitQuestionRow : -1) << run.report;
    // Nothing is written after the exit word.
    for (int row = exitQuestionRow + 2; leaves && row < int(run.rows.size()); ++row) {
      EXPECT_EQ(run.row(row), "") << row;
    }
    EXPECT_EQ(run.row(leaves ? exitQuestionRow + 1 : 8), leaves ? "=>" + std::string(typed) : "=>");
  }
}

// n is read through the integer syntax: blank lines are passed over, text after the number and
// a blank is dropped; text that is no number ends the program with run-time error 106 before
// the method starts, at each of the three prompts.
TEST(TermPrompt, ReadsTheNumberFromTheFirstLineThatHasOne) {
  struct Case {
    const char* input;
    int numberRow;  // where the line with the number was typed
    const char* number;
    const char* closingLine;  // nullptr: run-time error 106
  };
  const Case cases[] = {
      {"a\n\n   \n3\n", 14, "3", "phi~= 1.666666666666667"},
      {"a\n7 abc\n", 12, "7 abc", "phi~= 1.619047619047619"},
      {"a\n12abc\n", 12, "12abc", nullptr},
      {"b\nx\n", 12, "x", nullptr},
      {"c\n1e3\n", 12, "1e3", nullptr},
      {"a\n9999999999\n", 12, "9999999999", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.number);
    const Outcome run = runWith(c.input);
    EXPECT_EQ(run.row(12), c.numberRow == 12 ? c.number : "") << run.report;
    EXPECT_EQ(run.row(c.numberRow), c.number);
    if (c.closingLine) {
      EXPECT_EQ(run.exitCode, 0) << run.report;
      EXPECT_NE(run.find(c.closingLine), -1) << run.report;
    } else {
      EXPECT_EQ(run.exitCode, 106) << run.report;
      EXPECT_TRUE(run.row(c.numberRow + 1).starts_with("Runtime error 106 at 0x")) << run.report;
    }
  }
}

}  // namespace
}  // namespace qv::e2e
