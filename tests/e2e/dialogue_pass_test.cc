// Whole passes of the dialogue in a real terminal: every row the user sees, in its colour, from
// the banner down to the exit question, and where the cursor waits.
#include <string>
#include <vector>

#include "support/e2e_dialogue.h"

namespace qv::e2e {
namespace {

struct MethodPass {
  const char* letter;
  const char* title;
  std::string_view prompt;
  const char* count;
};

// The rows from the banner to the exit prompt of a pass whose method wrote `body`.
std::vector<Row> passRows(const MethodPass& pass, const std::vector<Row>& body) {
  std::vector<Row> rows = menuRows(pass.letter);
  rows.push_back(blankRow());
  rows.push_back({pass.title, Ink::yellow});
  rows.push_back({std::string(pass.prompt), Ink::white});
  rows.push_back({pass.count, Ink::white});
  rows.push_back(blankRow());
  rows.push_back(blankRow());
  rows.insert(rows.end(), body.begin(), body.end());
  for (int i = 0; i < 3; ++i) rows.push_back(blankRow());
  rows.push_back({std::string(exitQuestion), Ink::yellow});
  rows.push_back({"=>", Ink::yellow});
  return rows;
}

// The iterate lines, an empty line and the closing line of the first two methods.
std::vector<Row> iterateRows(const std::vector<std::string>& iterates) {
  std::vector<Row> rows;
  for (const std::string& x : iterates) rows.push_back({x, Ink::white});
  rows.push_back(blankRow());
  rows.push_back({"phi~= " + iterates.back(), Ink::lightRed});
  return rows;
}

// Everything from the banner to the last row of the screen must be exactly these rows.
testing::AssertionResult passOnScreen(const PtySession& session, const std::vector<Row>& rows) {
  const std::vector<CellRow> all = everyRow(session.screen());
  const int first = lastRowWithText(all, banner);
  testing::AssertionResult match = rowsMatch(all, first, rows);
  if (!match) return match << session.report();
  if (first + rows.size() != all.size()) {
    return testing::AssertionFailure() << "rows below the exit prompt\n" << session.report();
  }
  return testing::AssertionSuccess();
}

TEST(DialoguePass, IterativeMethodsShowEveryRowInItsColourAndWaitBehindThePrompt) {
  struct Case {
    MethodPass pass;
    std::vector<std::string> iterates;
  };
  const Case cases[] = {
      {{"a", "FUNZIONE CONTINUA", repetitionsPrompt, "5"},
       {"2.000000000000000", "1.500000000000000", "1.666666666666667", "1.600000000000000",
        "1.625000000000000"}},
      {{"b", "RADICI NIDIFICATE", repetitionsPrompt, "5"},
       {"1.000000000000000", "1.414213562373095", "1.553773974030037", "1.598053182478617",
        "1.611847754125252"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pass.title);
    PtySession session(programOptions());
    ASSERT_TRUE(waitForMenu(session));
    session.sendLine(c.pass.letter);
    ASSERT_TRUE(waitForAnswerBelow(session, c.pass.prompt));
    session.sendLine(c.pass.count);
    ASSERT_TRUE(waitForExitQuestion(session, "phi~= " + c.iterates.back()));

    EXPECT_TRUE(passOnScreen(session, passRows(c.pass, iterateRows(c.iterates))));
    const VtermCursor cursor = session.screen().cursor();
    EXPECT_EQ(cursor.row, screenRows - 1);
    EXPECT_EQ(cursor.col, 2);
    EXPECT_TRUE(cursor.visible);

    session.sendLine("esci");
    EXPECT_TRUE(endsWith(session, 0));
  }
}

TEST(DialoguePass, FibonacciWaitsForEnterBeforeTheRatios) {
  const MethodPass pass{"c", "SEQUENZA DI FIBONACCI", elementsPrompt, "7"};
  PtySession session(programOptions());
  ASSERT_TRUE(waitForMenu(session));
  session.sendLine(pass.letter);
  ASSERT_TRUE(waitForAnswerBelow(session, pass.prompt));
  session.sendLine(pass.count);
  ASSERT_TRUE(session.waitFor(
      [](const VtermScreen& s) {
        const VtermCursor cursor = s.cursor();
        return s.rowText(cursor.row) == ratioPause && cursor.col == int(ratioPause.size());
      },
      "the pause, the cursor behind its full stops"));

  // What is typed now is echoed behind the pause; as long as no ratio has appeared by the time
  // the echo shows, the method is still waiting for the line to end.
  session.send("42");
  const std::string echoed = std::string(ratioPause) + "42";
  ASSERT_TRUE(session.waitForText(echoed));
  EXPECT_FALSE(session.screen().contains("1.000000000000000")) << session.report();
  EXPECT_FALSE(session.screen().contains(exitQuestion)) << session.report();

  session.send("\r");
  ASSERT_TRUE(waitForExitQuestion(session, "phi~= 1.625000000000000"));
  std::vector<Row> body = {
      {"Sequenza di Fibonacci fino al 7esimo elemento:", Ink::white},
      {"1  1  2  3  5  8  13", Ink::white},
      blankRow(),
      {echoed, Ink::white},
      blankRow(),
  };
  const std::vector<Row> ratios =
      iterateRows({"1.000000000000000", "2.000000000000000", "1.500000000000000",
                   "1.666666666666667", "1.600000000000000", "1.625000000000000"});
  body.insert(body.end(), ratios.begin(), ratios.end());
  EXPECT_TRUE(passOnScreen(session, passRows(pass, body)));

  // The elements line keeps the two blanks after its last element.
  const std::vector<CellRow> all = everyRow(session.screen());
  const int elements = lastRowWithText(all, "1  1  2  3  5  8  13");
  ASSERT_GE(elements, 0);
  EXPECT_EQ(all[std::size_t(elements)].size(), std::size_t(screenColumns));
  // Typed text at the pause must not reach the exit question's read.
  session.sendLine("ESCI");
  EXPECT_TRUE(endsWith(session, 0));
}

TEST(DialoguePass, MenuLineStartingWithABlankGoesStraightToTheExitQuestion) {
  PtySession session(programOptions());
  ASSERT_TRUE(waitForMenu(session));
  session.sendLine(" a");
  ASSERT_TRUE(waitForExitQuestion(session, "=> a"));

  std::vector<Row> rows = menuRows(" a");
  for (int i = 0; i < 4; ++i) rows.push_back(blankRow());
  rows.push_back({std::string(exitQuestion), Ink::yellow});
  rows.push_back({"=>", Ink::yellow});
  for (int i = int(rows.size()); i < screenRows; ++i) rows.push_back(blankRow());
  EXPECT_TRUE(screenRowsMatch(session, 0, rows));
  EXPECT_FALSE(session.screen().contains("FUNZIONE")) << session.report();
  EXPECT_EQ(session.screen().cursor().row, 14);

  session.sendLine("esci");
  EXPECT_TRUE(endsWith(session, 0));
}

}  // namespace
}  // namespace qv::e2e
