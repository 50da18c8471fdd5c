// The terminal as a person meets it: a program in a pseudo-terminal, its screen read through a
// terminal emulator. Most cases drive the small echo dialogue of tests/console/helpers, whose
// behaviour is fixed; the ones about start-up run the real program too.
#include <signal.h>
#include <termios.h>

#include <string>
#include <vector>

#include "support/pty_session.h"

namespace qv {
namespace {

PtyOptions echoDialogue(int rows = 25, int cols = 80) {
  PtyOptions options;
  options.program = helperPath("echo_console");
  options.rows = rows;
  options.cols = cols;
  return options;
}

// Every row that has left the screen and every row on it, top to bottom.
std::vector<std::string> allRows(const VtermScreen& screen) {
  std::vector<std::string> rows = screen.scrollbackText();
  for (int row = 0; row < screen.rows(); ++row) rows.push_back(screen.rowText(row));
  return rows;
}

// The rows that begin with the prefix, in order, with the prefix taken off.
std::vector<std::string> rowsStartingWith(const VtermScreen& screen, const std::string& prefix,
                                          bool withScrollback = true) {
  std::vector<std::string> found;
  std::vector<std::string> rows;
  if (withScrollback) {
    rows = allRows(screen);
  } else {
    for (int row = 0; row < screen.rows(); ++row) rows.push_back(screen.rowText(row));
  }
  for (const std::string& row : rows) {
    if (row.starts_with(prefix)) found.push_back(row.substr(prefix.size()));
  }
  return found;
}

testing::AssertionResult endsNormally(PtySession& session, int expectedCode) {
  if (testing::AssertionResult ended = session.waitForExit(); !ended) return ended;
  if (session.exitCode() != expectedCode) {
    return testing::AssertionFailure()
           << "exit code " << session.exitCode() << ", signal " << session.terminatingSignal()
           << ", expected " << expectedCode << "\n"
           << session.report();
  }
  return session.terminalSettingsRestored();
}

TEST(TerminalProgram, DrawsEchoesKeysInRawModeAndLeavesTheTerminalAsItFoundIt) {
  PtySession session(echoDialogue());
  ASSERT_TRUE(session.waitForText("eco>"));

  const termios running = session.currentSettings();
  EXPECT_EQ(running.c_lflag & (ECHO | ICANON), 0u) << "the terminal must not echo or edit";
  EXPECT_NE(running.c_lflag & ISIG, 0u) << "Ctrl-C and Ctrl-Z keep their meaning";
  EXPECT_EQ(running.c_iflag & (ICRNL | INLCR | IGNCR | IXON), 0u);

  session.send("abc");
  ASSERT_TRUE(session.waitForText("eco> abc"));
  // Ctrl-S must reach the line editor (it erases), not stop the output.
  session.send("d\x13\r");
  ASSERT_TRUE(session.waitForText("letto: [abc]"));
  session.sendLine("fine");
  EXPECT_TRUE(endsNormally(session, 0));
  EXPECT_TRUE(session.screen().cursor().visible);
  EXPECT_FALSE(session.screen().usedAlternateScreen());
}

TEST(TerminalProgram, EndsThroughItsEndPathOnInterruptsAndTerminationSignals) {
  struct Case {
    const char* how;
    const char* key;  // typed, or
    int signal;       // sent
    int exitCode;
  };
  const Case cases[] = {
      {"Ctrl-C", "\x03", 0, 130},
      {"Ctrl-\\", "\x1c", 0, 131},
      {"SIGTERM", nullptr, SIGTERM, 143},
      {"SIGHUP", nullptr, SIGHUP, 129},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    PtySession session(echoDialogue());
    ASSERT_TRUE(session.waitForText("eco>"));
    session.send("a metà");
    ASSERT_TRUE(session.waitForText("eco> a metà"));
    if (c.key) session.send(c.key);
    if (c.signal) session.signal(c.signal);
    EXPECT_TRUE(endsNormally(session, c.exitCode));
    EXPECT_FALSE(session.screen().contains("Runtime error"));
    EXPECT_TRUE(session.screen().cursor().visible);
  }
}

TEST(TerminalProgram, KeysTypedAheadInOneBurstAreAllTaken) {
  PtySession session(echoDialogue());
  ASSERT_TRUE(session.waitForText("eco>"));
  std::string burst;
  const int lines = 60;  // several times what one read takes
  for (int i = 1; i <= lines; ++i) burst += "tasto " + std::to_string(i) + "\r";
  session.send(burst);
  ASSERT_TRUE(session.waitForText("letto: [tasto " + std::to_string(lines) + "]"));

  std::vector<std::string> echoed = rowsStartingWith(session.screen(), "letto: [tasto ");
  ASSERT_EQ(echoed.size(), size_t(lines)) << session.report();
  for (int i = 1; i <= lines; ++i) EXPECT_EQ(echoed[i - 1], std::to_string(i) + "]");
  session.sendLine("fine");
  EXPECT_TRUE(endsNormally(session, 0));
}

TEST(TerminalProgram, OutputFasterThanTheScreenReachesTheScrollbackInOrder) {
  PtySession session(echoDialogue());
  ASSERT_TRUE(session.waitForText("eco>"));
  const int lines = 3000;  // more than the screen keeps of its own scrolled-off rows
  session.sendLine("righe " + std::to_string(lines));
  ASSERT_TRUE(session.waitFor(
      [](const VtermScreen& s) {
        for (int row = 1; row < s.rows(); ++row) {
          if (s.rowText(row - 1) == "riga 3000" && s.rowText(row) == "eco>") return true;
        }
        return false;
      },
      "the last line and the next prompt", 30));

  std::vector<std::string> numbers = rowsStartingWith(session.screen(), "riga ");
  ASSERT_EQ(numbers.size(), size_t(lines)) << "rows lost or doubled";
  for (int i = 1; i <= lines; ++i) ASSERT_EQ(numbers[i - 1], std::to_string(i));
  session.sendLine("fine");
  EXPECT_TRUE(endsNormally(session, 0));
}

TEST(TerminalProgram, ReadsPipedInputAsTypedLinesAndEndsWhenItRunsOut) {
  struct Case {
    const char* input;
    std::vector<std::string> echoed;
  };
  const Case cases[] = {
      {"uno\ndue\nfine\ntre\n", {"uno]", "due]"}},
      {"uno\r\ndue\r\n", {"uno]", "due]"}},  // no exit word: the end of input ends it
      {"uno\rdue", {"uno]", "due]"}},        // the last line has no line end
      {"", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.input)));
    PtyOptions options = echoDialogue();
    options.pipedInput = c.input;
    PtySession session(options);
    EXPECT_TRUE(endsNormally(session, 0));
    EXPECT_EQ(rowsStartingWith(session.screen(), "letto: ["), c.echoed) << session.report();
    EXPECT_TRUE(session.screen().contains("eco>"));
  }
}

TEST(TerminalProgram, DrawsOnTheControllingTerminalWhenStandardOutputGoesElsewhere) {
  PtyOptions options = echoDialogue();
  options.captureStdout = true;
  PtySession session(options);
  ASSERT_TRUE(session.waitForText("eco>"));
  session.sendLine("ciao");
  ASSERT_TRUE(session.waitForText("letto: [ciao]"));
  session.sendLine("errore");
  EXPECT_TRUE(endsNormally(session, 106));
  EXPECT_TRUE(session.stdoutText().starts_with("Runtime error 106 at 0x")) << session.stdoutText();
  EXPECT_FALSE(session.screen().contains("Runtime error"));
}

TEST(TerminalProgram, ErrorReportAppearsInTheTerminalsOwnColoursAtTheConsoleCursor) {
  PtySession session(echoDialogue());
  ASSERT_TRUE(session.waitForText("eco>"));
  session.sendLine("errore");
  EXPECT_TRUE(endsNormally(session, 106));
  const VtermScreen& screen = session.screen();
  int reportRow = -1;
  for (int row = 1; row < screen.rows(); ++row) {
    if (screen.rowText(row).starts_with("Runtime error 106 at 0x")) reportRow = row;
  }
  ASSERT_GT(reportRow, 0) << session.report();
  EXPECT_EQ(screen.rowText(reportRow - 1), "eco> errore") << "the report follows the dialogue";
  const VtermCell first = screen.cell(reportRow, 0);
  EXPECT_EQ(first.fg, -1) << "default foreground";
  EXPECT_EQ(first.bg, -1) << "default background";
}

TEST(TerminalProgram, SurvivesResizingDownToOneCellAndRepaintsWhenItGrowsAgain) {
  PtySession session(echoDialogue());
  ASSERT_TRUE(session.waitForText("eco>"));
  session.sendLine("prima");
  ASSERT_TRUE(session.waitForText("letto: [prima]"));

  const struct { int rows, cols; } sizes[] = {{1, 1}, {2, 3}, {10, 20}, {1, 80}, {25, 1}};
  std::vector<std::string> typed;
  for (const auto& size : sizes) {
    const std::string name = std::to_string(size.cols) + "x" + std::to_string(size.rows);
    SCOPED_TRACE(name);
    const size_t before = session.received().size();
    session.resize(size.rows, size.cols);
    ASSERT_TRUE(
        session.waitFor([&](const VtermScreen&) { return session.received().size() > before; },
                        "output at the new size"));
    typed.push_back(std::to_string(typed.size() + 1) + " a " + name + "]");
    session.sendLine("passo " + typed.back().substr(0, typed.back().size() - 1));
  }
  session.resize(25, 80);
  ASSERT_TRUE(session.waitForText("letto: [passo " + typed.back()));
  ASSERT_TRUE(session.waitForText("letto: [prima]")) << "the whole screen buffer is shown again";
  // The emulator keeps the rows that a shrinking window pushed out: count the screen alone.
  EXPECT_EQ(rowsStartingWith(session.screen(), "letto: [passo ", false), typed);
  session.sendLine("fine");
  EXPECT_TRUE(endsNormally(session, 0));
}

TEST(TerminalProgram, CtrlZHandsTheTerminalBackAndContinuingRepaints) {
  PtyOptions options = echoDialogue();
  options.program = helperPath("job_shim");
  options.arguments = {helperPath("echo_console")};
  PtySession session(options);
  ASSERT_TRUE(session.waitForText("eco>"));
  session.sendLine("prima");
  ASSERT_TRUE(session.waitForText("letto: [prima]"));

  session.send("\x1a");
  ASSERT_TRUE(session.waitForText("[shim] fermato"));
  EXPECT_TRUE(session.terminalSettingsRestored()) << "stopped programs leave a usable terminal";

  session.sendLine("fg");
  ASSERT_TRUE(session.waitFor(
      [](const VtermScreen& s) { return !s.contains("[shim]") && s.contains("letto: [prima]"); },
      "the repaint after continuing"));
  EXPECT_EQ(session.currentSettings().c_lflag & ECHO, 0u) << "raw mode again";
  session.sendLine("dopo");
  ASSERT_TRUE(session.waitForText("letto: [dopo]"));
  session.sendLine("fine");
  EXPECT_TRUE(endsNormally(session, 0));
}

TEST(TerminalProgram, ContinuingAfterAStopRepaintsWhatOthersDrewMeanwhile) {
  PtySession session(echoDialogue());
  ASSERT_TRUE(session.waitForText("eco>"));
  session.sendLine("prima");
  ASSERT_TRUE(session.waitForText("letto: [prima]"));
  session.signal(SIGSTOP);
  session.screen().feed("\x1b[2J\x1b[Hscritto da altri");  // what a shell might show meanwhile
  session.signal(SIGCONT);
  ASSERT_TRUE(session.waitFor(
      [](const VtermScreen& s) { return !s.contains("altri") && s.contains("letto: [prima]"); },
      "the repaint after continuing"));
  session.sendLine("fine");
  EXPECT_TRUE(endsNormally(session, 0));
}

TEST(TerminalProgram, TheRealProgramLeavesTheTerminalAsItFoundItOnEveryWayOut) {
  struct Case {
    const char* how;
    const char* typed;  // at the menu, all at once: typed ahead
    int exitCode;
  };
  const Case cases[] = {
      {"exit word", "\resci\r", 0},  // no method chosen, then the exit word
      {"Ctrl-C at the menu", "\x03", 130},
      {"invalid number", "a\rx\r", 106},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    PtySession session;
    ASSERT_TRUE(session.waitForText("=>"));
    session.send(c.typed);
    EXPECT_TRUE(endsNormally(session, c.exitCode));
    EXPECT_TRUE(session.screen().cursor().visible);
  }
}

TEST(TerminalProgram, WithoutAnyTerminalSaysSoOnStandardErrorAndEndsWithOne) {
  for (const std::string& program : {helperPath("echo_console"), programPath()}) {
    SCOPED_TRACE(program);
    const DetachedRun run = runWithoutTerminal(program);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.stderrText, "No way to get the console handle\r\n");
    EXPECT_EQ(run.stdoutText, "");
  }
}

}  // namespace
}  // namespace qv
