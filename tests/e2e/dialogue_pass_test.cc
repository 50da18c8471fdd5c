// Whole passes of the dialogue in a real terminal: every row the user sees, in its colour, from
// the banner down to the exit question, where the cursor waits, and what each answer to the
// exit question does.
#include <string>
#include <vector>

#include "support/e2e_dialogue.h"

namespace qv::e2e {
namespace {

int lastBanner(const PtySession& session) {
  return lastRowWithText(everyRow(session.screen()), banner);
}

TEST(DialoguePass, FibonacciPausesAndOtherAnswersStartANewPassOnAClearedScreen) {
  PtySession session;
  ASSERT_TRUE(waitForMenu(session));
  const int background = session.screen().cell(screenRows - 1, 0).bg;
  // Cleared in the yellow left over from the last pass: only the background shows, and the
  // background was never changed.
  auto expectClearedMenu = [&] {
    ASSERT_TRUE(waitForMenu(session));
    const int top = int(session.screen().scrollbackCells().size());
    EXPECT_TRUE(rowsFrom(session, top, menuRows("")));
    for (int row = 9; row < screenRows; ++row) {
      for (int column = 0; column < screenColumns; ++column) {
        ASSERT_EQ(session.screen().cell(row, column).bg, background) << row << "," << column;
      }
    }
  };

  ASSERT_TRUE(startMethod(session, "c", elementsPrompt, "7"));
  ASSERT_TRUE(waitForPause(session));
  // What is typed now is echoed behind the pause; as long as no ratio has appeared by the time
  // the echo shows, the method is still waiting for the line to end.
  session.send("42");
  const std::string echoed = ratioPause + "42";
  ASSERT_TRUE(session.waitForText(echoed));
  EXPECT_FALSE(session.screen().contains("1.000000000000000")) << session.report();
  session.send("\r");
  ASSERT_TRUE(waitForExitQuestion(session, "phi~= 1.625000000000000"));
  std::vector<Row> body = {{"Sequenza di Fibonacci fino al 7esimo elemento:", Ink::white},
                           {"1  1  2  3  5  8  13", Ink::white},
                           {},
                           {echoed, Ink::white},
                           {}};
  for (const Row& row :
       iterateRows({"1.000000000000000", "2.000000000000000", "1.500000000000000",
                    "1.666666666666667", "1.600000000000000", "1.625000000000000"})) {
    body.push_back(row);
  }
  EXPECT_TRUE(rowsFrom(session, lastBanner(session),
                       passRows("c", "SEQUENZA DI FIBONACCI", elementsPrompt, "7", body)));

  session.sendLine("Esci");
  expectClearedMenu();
  // A menu line that starts with a blank chooses nothing: straight to the exit question.
  session.sendLine(" a");
  ASSERT_TRUE(waitForExitQuestion(session, "=> a"));
  std::vector<Row> rows = menuRows(" a");
  rows.insert(rows.end(), 4, Row{});
  rows.insert(rows.end(), {{exitQuestion, Ink::yellow}, {"=>", Ink::yellow}});
  EXPECT_TRUE(rowsFrom(session, int(session.screen().scrollbackCells().size()), rows));

  session.sendLine("");
  expectClearedMenu();
  session.sendLine("x");
  ASSERT_TRUE(waitForExitQuestion(session, "=>x"));
  session.sendLine("esci");
  EXPECT_TRUE(endsAsFound(session, Ending::code(0)));
}

// Passes of the iterative methods, every row in its colour, the cursor behind the exit
// question's "=>" on the bottom row. Nothing the terminal showed is lost: the shell's rows, then
// every pass, whole and in order, are in the scrollback when the program ends, and nothing is
// written after the exit word.
TEST(DialoguePass, IterativeMethodsAndTheShellsRowsStayInTheScrollbackWholeAndInOrder) {
  PtySession session;
  const std::vector<Row> shellRows = {{"$ ls", Ink::terminalDefault},
                                      {"Makefile  src", Ink::terminalDefault},
                                      {"$ ./quorvendalist", Ink::terminalDefault}};
  for (const Row& row : shellRows) session.screen().feed(row.text + "\r\n");
  ASSERT_TRUE(startMethod(session, "a", repetitionsPrompt, "3"));
  ASSERT_TRUE(waitForExitQuestion(session, "phi~= 1.666666666666667"));
  EXPECT_EQ(session.screen().cursor().row, screenRows - 1);
  session.sendLine("");
  ASSERT_TRUE(startMethod(session, "b", repetitionsPrompt, "2"));
  ASSERT_TRUE(waitForExitQuestion(session, "phi~= 1.414213562373095"));
  session.sendLine("ESCI");
  ASSERT_TRUE(endsAsFound(session, Ending::code(0)));
  EXPECT_FALSE(session.screen().usedAlternateScreen());

  std::vector<Row> rows = shellRows;
  for (const Row& row :
       passRows("a", "FUNZIONE CONTINUA", repetitionsPrompt, "3",
                iterateRows({"2.000000000000000", "1.500000000000000", "1.666666666666667"}))) {
    rows.push_back(row);
  }
  std::vector<Row> second = passRows("b", "RADICI NIDIFICATE", repetitionsPrompt, "2",
                                     iterateRows({"1.000000000000000", "1.414213562373095"}));
  second.back().text = "=>ESCI";
  rows.insert(rows.end(), second.begin(), second.end());
  EXPECT_TRUE(rowsFrom(session, 0, rows));
}

}  // namespace
}  // namespace qv::e2e
