// The answer to the exit question: the two exit words end the program and hand the terminal
// back as it was; every other answer starts a new pass on a cleared screen.
#include <termios.h>

#include <string>
#include <vector>

#include "support/e2e_dialogue.h"

namespace qv::e2e {
namespace {

// Runs method a with n = 2 so that the screen is full of coloured text, then waits at the
// exit question.
testing::AssertionResult reachExitQuestionAfterAMethod(PtySession& session) {
  if (auto menu = waitForMenu(session); !menu) return menu;
  session.sendLine("a");
  if (auto prompt = waitForAnswerBelow(session, repetitionsPrompt); !prompt) return prompt;
  session.sendLine("2");
  return waitForExitQuestion(session, "phi~= 1.500000000000000");
}

TEST(ExitQuestion, ExitWordsEndWithCodeZeroWritingNothingMore) {
  for (const char* word : {"esci", "ESCI"}) {
    SCOPED_TRACE(word);
    PtySession session(programOptions());
    ASSERT_TRUE(reachExitQuestionAfterAMethod(session));
    // Raw mode while it runs, so that the check of the settings afterwards means something.
    EXPECT_NE(session.currentSettings().c_lflag & ICANON,
              session.initialSettings().c_lflag & ICANON);

    session.sendLine(word);
    EXPECT_TRUE(endsWith(session, 0));
    const VtermScreen& screen = session.screen();
    const VtermCursor cursor = screen.cursor();
    EXPECT_TRUE(cursor.visible);
    EXPECT_FALSE(screen.usedAlternateScreen());
    // The exit word stays where it was typed, and nothing follows it.
    int answerRow = -1;
    for (int row = 0; row < screen.rows(); ++row) {
      if (screen.rowText(row) == "=>" + std::string(word)) answerRow = row;
    }
    ASSERT_GE(answerRow, 1) << session.report();
    EXPECT_EQ(screen.rowText(answerRow - 1), exitQuestion);
    for (int row = answerRow + 1; row < screen.rows(); ++row) {
      EXPECT_EQ(screen.rowText(row), "") << "row " << row << "\n" << session.report();
    }
  }
}

TEST(ExitQuestion, OtherAnswersStartANewPassOnAClearedScreen) {
  for (const char* answer : {"Esci", ""}) {
    SCOPED_TRACE(std::string("answer \"") + answer + "\"");
    PtySession session(programOptions());
    ASSERT_TRUE(waitForMenu(session));
    const int firstPassBackground = session.screen().cell(screenRows - 1, 0).bg;
    session.sendLine("a");
    ASSERT_TRUE(waitForAnswerBelow(session, repetitionsPrompt));
    session.sendLine("2");
    ASSERT_TRUE(waitForExitQuestion(session, "phi~= 1.500000000000000"));

    session.sendLine(answer);
    ASSERT_TRUE(waitForMenu(session));
    std::vector<Row> rows = menuRows("");
    while (rows.size() < std::size_t(screenRows)) rows.push_back(blankRow());
    EXPECT_TRUE(screenRowsMatch(session, 0, rows));
    // Cleared in the yellow left over from the last pass: only the background shows, and the
    // background was never changed.
    for (int row = 9; row < screenRows; ++row) {
      for (int column = 0; column < screenColumns; ++column) {
        ASSERT_EQ(session.screen().cell(row, column).bg, firstPassBackground)
            << "row " << row << " column " << column << "\n"
            << session.report();
      }
    }

    // The new pass works like the first one.
    session.sendLine("b");
    ASSERT_TRUE(waitForAnswerBelow(session, repetitionsPrompt));
    session.sendLine("1");
    ASSERT_TRUE(waitForExitQuestion(session, "phi~= 1.000000000000000"));
    session.sendLine("esci");
    EXPECT_TRUE(endsWith(session, 0));
  }
}

}  // namespace
}  // namespace qv::e2e
