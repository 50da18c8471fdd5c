// The lines a method writes for scripts are the lines the dialogue shows: for each method and
// several n (none, negative, in hexadecimal, past where the Fibonacci numbers wrap and past 60),
// the command's standard output is compared row by row with a pass of the dialogue in a
// terminal wide enough that no line wraps. Only method c differs: the dialogue pauses before the
// ratios, on a line of its own followed by an empty one.
#include <string>
#include <vector>

#include "support/e2e_dialogue.h"

namespace qv::e2e {
namespace {

constexpr int wideColumns = 1000;  // the elements line of method c for n = 75 is 880 long

std::vector<std::string> commandLines(const std::string& letter, const std::string& n) {
  const DetachedRun run = runWithoutTerminal(programPath(), 10.0, {letter, n});
  EXPECT_EQ(run.exitCode, 0) << run.stderrText;
  std::vector<std::string> lines;
  for (std::size_t start = 0, end; (end = run.stdoutText.find('\n', start)) != std::string::npos;
       start = end + 1) {
    lines.push_back(run.stdoutText.substr(start, end - start));
  }
  return lines;
}

// The menu of a fresh pass on the wide screen: the question does not wrap there.
testing::AssertionResult waitForWideMenu(PtySession& session) {
  return session.waitFor(
      [](const VtermScreen& s) {
        return s.rowText(0) == banner && s.rowText(7) == "=>" && s.rowText(8).empty() &&
               s.cursor().row == 7 && s.cursor().col == 2;
      },
      "the menu on a cleared wide screen");
}

testing::AssertionResult waitForRowBelow(PtySession& session, const std::string& prompt) {
  return session.waitFor(
      [&](const VtermScreen& s) {
        const VtermCursor cursor = s.cursor();
        return cursor.row >= 1 && cursor.col == 0 && s.rowText(cursor.row - 1) == prompt;
      },
      "the cursor below \"" + prompt + "\"");
}

TEST(ScriptedOutput, IsWhatTheDialogueShowsLineByLine) {
  struct Case {
    std::string letter;
    std::string n;
  };
  const Case cases[] = {
      {"a", "0"}, {"a", "-3"}, {"a", "40"},  {"b", "-1"}, {"b", "$21"},
      {"c", "0"}, {"c", "2"},  {"c", "$2F"}, {"c", "75"},
  };
  PtyOptions wide;
  wide.rows = 40;
  wide.cols = wideColumns;
  PtySession session(wide);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.letter + " " + c.n);
    if (&c != cases) session.sendLine("");  // on to the next pass
    std::vector<std::string> lines = commandLines(c.letter, c.n);
    ASSERT_GE(lines.size(), 2u);
    const bool fibonacci = c.letter == "c";
    const std::string prompt = fibonacci ? elementsPrompt : repetitionsPrompt;

    ASSERT_TRUE(waitForWideMenu(session));
    session.sendLine(c.letter);
    ASSERT_TRUE(waitForRowBelow(session, prompt));
    session.sendLine(c.n);
    if (fibonacci) {
      ASSERT_TRUE(waitForPause(session));
      session.sendLine("");
    }
    ASSERT_TRUE(waitForExitQuestion(session, lines.back()));

    std::vector<Row> expected = {{prompt, {}}, {c.n, {}}, {}, {}};
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (fibonacci && i == 3) expected.insert(expected.end(), {{ratioPause, {}}, {}});
      // A screen shows no blanks at the end of a row (the elements line ends with two).
      const std::string& line = lines[i];
      expected.push_back({line.substr(0, line.find_last_not_of(' ') + 1), {}});
    }
    expected.insert(expected.end(), {{}, {}, {}, {exitQuestion, {}}, {"=>", {}}});
    EXPECT_TRUE(rowsFrom(session, lastRowWithText(everyRow(session.screen()), prompt), expected));
  }
  session.sendLine("esci");
  EXPECT_TRUE(endsAsFound(session, Ending::code(0)));
}

}  // namespace
}  // namespace qv::e2e
