// The choices the dialogue reacts to: which menu lines start a method, which answers leave,
// and how the prompt for n reads its number.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "menu/dialogue_run.h"

namespace qv {
namespace {

using ::testing::StartsWith;
using testsupport::DialogueEnd;
using testsupport::runDialogue;

constexpr int titleRow = 10;         // 0-based: the method's title below the menu line
constexpr int exitQuestionRow = 13;  // 0-based: where the question stands when nothing runs
const std::string exitQuestion = "Type 'esci' to exit or press enter to continue";

struct MenuLine {
  const char* keys;
  const char* title;  // the method it starts, or nullptr
};

// Only the first character of the menu line counts, and only the three lowercase letters.
TEST(MenuDispatch, TheFirstCharacterOfTheLineChooses) {
  const MenuLine lines[] = {
      {"a\r", "FUNZIONE CONTINUA"},
      {"b\r", "RADICI NIDIFICATE"},
      {"c\r", "SEQUENZA DI FIBONACCI"},
      {"abc\r", "FUNZIONE CONTINUA"},
      {"bzz\r", "RADICI NIDIFICATE"},
      {"A\r", nullptr},
      {"B\r", nullptr},
      {"d\r", nullptr},
      {"1\r", nullptr},
      {" \r", nullptr},
      {" a\r", nullptr},
      {"\r", nullptr},
  };
  for (const MenuLine& line : lines) {
    SCOPED_TRACE(std::string("menu line \"") + line.keys + "\"");
    const auto outcome = runDialogue(line.keys);
    ASSERT_EQ(outcome.end, DialogueEnd::waitingForKeys) << outcome.screen.dump();
    const auto& screen = outcome.screen;
    if (line.title != nullptr) {
      EXPECT_EQ(screen.rowText(titleRow), line.title) << screen.dump();
      EXPECT_EQ(screen.findRow(exitQuestion), -1);
    } else {
      for (int row = 9; row < exitQuestionRow; ++row) EXPECT_EQ(screen.rowText(row), "") << row;
      EXPECT_EQ(screen.rowText(exitQuestionRow), exitQuestion) << screen.dump();
      EXPECT_EQ(screen.rowText(exitQuestionRow + 1), "=>");
    }
  }
}

struct ExitAnswer {
  const char* typed;  // ended by Enter
  bool leaves;
};

// The answer is cut to five characters and compared exactly: no case folding, no trimming.
TEST(ExitQuestion, OnlyTheExactWordsLeave) {
  const ExitAnswer answers[] = {
      {"esci", true},   {"ESCI", true},      {"Esci", false},  {"esc", false},
      {"escii", false}, {"esci ", false},    {" esci", false}, {"esci!!!", false},
      {"", false},      {"ESCIesci", false}, {"eSCI", false},
  };
  for (const ExitAnswer& answer : answers) {
    SCOPED_TRACE(std::string("answer \"") + answer.typed + "\"");
    const auto outcome = runDialogue(std::string("x\r") + answer.typed + "\r");
    const auto& screen = outcome.screen;
    if (answer.leaves) {
      ASSERT_EQ(outcome.end, DialogueEnd::exited) << screen.dump();
      EXPECT_EQ(outcome.exitCode, 0);
      EXPECT_EQ(outcome.standardOutput, "");
      // Nothing is written after the exit word.
      EXPECT_EQ(screen.rowText(exitQuestionRow + 1), std::string("=>") + answer.typed);
      EXPECT_EQ(screen.rowText(exitQuestionRow + 2), "");
    } else {
      ASSERT_EQ(outcome.end, DialogueEnd::waitingForKeys) << screen.dump();
      EXPECT_EQ(screen.findRow(exitQuestion), -1) << "a new pass clears the screen";
      EXPECT_EQ(screen.rowText(8), "=>");
    }
  }
}

// n is read through the integer syntax: blank lines are passed over, text after the number
// and a blank is dropped.
TEST(TermPrompt, ReadsTheNumberFromTheFirstLineThatHasOne) {
  const auto skipped = runDialogue("a\r\r   \r3\r");
  ASSERT_EQ(skipped.end, DialogueEnd::waitingForKeys) << skipped.screen.dump();
  EXPECT_NE(skipped.screen.findRow("phi~= 1.666666666666667"), -1) << skipped.screen.dump();
  EXPECT_EQ(skipped.screen.rowText(12), "");
  EXPECT_EQ(skipped.screen.rowText(14), "3");

  const auto trailing = runDialogue("a\r7 abc\r");
  ASSERT_EQ(trailing.end, DialogueEnd::waitingForKeys) << trailing.screen.dump();
  EXPECT_NE(trailing.screen.findRow("phi~= 1.619047619047619"), -1) << trailing.screen.dump();
}

// Text that is no number ends the program with run-time error 106 before the method starts,
// at each of the three prompts.
TEST(TermPrompt, TextThatIsNoNumberEndsWithError106) {
  struct BadNumber {
    const char* keys;
    const char* typed;
  };
  const BadNumber badNumbers[] = {{"a\r12abc\r", "12abc"},
                                  {"b\rx\r", "x"},
                                  {"c\r1e3\r", "1e3"},
                                  {"a\r9999999999\r", "9999999999"}};
  for (const BadNumber& bad : badNumbers) {
    SCOPED_TRACE(bad.typed);
    const auto outcome = runDialogue(bad.keys);
    const auto& screen = outcome.screen;
    ASSERT_EQ(outcome.end, DialogueEnd::exited) << screen.dump();
    EXPECT_EQ(outcome.exitCode, 106);
    EXPECT_THAT(outcome.standardOutput, StartsWith("Runtime error 106 at 0x"));
    EXPECT_EQ(screen.rowText(12), bad.typed) << screen.dump();
    for (int row = 13; row < screen.rows; ++row) EXPECT_EQ(screen.rowText(row), "") << row;
  }
}

}  // namespace
}  // namespace qv
