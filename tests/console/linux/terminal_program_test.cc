// The terminal as a person meets it: a program in a pseudo-terminal, its screen read through a
// terminal emulator. Most cases drive the small echo dialogue of tests/console/helpers; the
// ones about start-up and the ways out run the real program too.
#include <signal.h>
#include <termios.h>

#include <string>
#include <vector>

#include "support/pty_session.h"

namespace qv {
namespace {

// The echo dialogue, straight or through the job-control shim.
PtyOptions echo(bool shim = false) {
  PtyOptions options;
  options.program = helperPath(shim ? "job_shim" : "echo_console");
  if (shim) options.arguments = {helperPath("echo_console")};
  return options;
}

// The rows that begin with the prefix, in order, with the prefix taken off.
std::vector<std::string> rowsStartingWith(const VtermScreen& screen, const std::string& prefix) {
  std::vector<std::string> rows = screen.scrollbackText();
  for (int row = 0; row < screen.rows(); ++row) rows.push_back(screen.rowText(row));
  std::vector<std::string> found;
  for (const std::string& row : rows) {
    if (row.starts_with(prefix)) found.push_back(row.substr(prefix.size()));
  }
  return found;
}

testing::AssertionResult endsNormally(PtySession& session, int expectedCode) {
  if (testing::AssertionResult ended = session.waitForExit(); !ended) return ended;
  if (session.exitCode() != expectedCode) {
    return testing::AssertionFailure()
           << "exit code " << session.exitCode() << ", expected " << expectedCode << "\n"
           << session.report();
  }
  if (!session.screen().cursor().visible) return testing::AssertionFailure() << "cursor hidden";
  return session.terminalSettingsRestored();
}

TEST(TerminalProgram, EditsInRawModeTakesKeysTypedAheadAndLeavesTheTerminalAsItFoundIt) {
  PtySession session(echo());
  ASSERT_TRUE(session.waitForText("eco>"));
  const termios running = session.currentSettings();
  EXPECT_EQ(running.c_lflag & (ECHO | ICANON), 0u) << "the terminal must not echo or edit";
  EXPECT_NE(running.c_lflag & ISIG, 0u) << "Ctrl-C and Ctrl-Z keep their meaning";
  EXPECT_EQ(running.c_iflag & (ICRNL | INLCR | IGNCR | IXON), 0u);

  session.send("abcd\x13\r");  // Ctrl-S reaches the line editor (it erases), not flow control
  ASSERT_TRUE(session.waitForText("letto: [abc]"));
  session.send("xyz");
  ASSERT_TRUE(session.waitForText("eco> xyz"));
  session.send("\x1b");  // a lone Esc, known as such only when no more bytes come: it clears
  ASSERT_TRUE(session.waitFor([](const VtermScreen& s) { return !s.contains("xyz"); }, "Esc"));
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
  EXPECT_FALSE(session.screen().usedAlternateScreen());
}

TEST(TerminalProgram, InterruptsAndTerminationSignalsEndThroughTheEndPath) {
  const struct {
    const char* key;  // typed, or
    int signal;       // sent
    int exitCode;
  } cases[] = {{"\x03", 0, 130}, {"\x1c", 0, 131}, {nullptr, SIGTERM, 143}, {nullptr, SIGHUP, 129}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.exitCode);
    PtySession session(echo());
    ASSERT_TRUE(session.waitForText("eco>"));
    session.send("a metà");
    ASSERT_TRUE(session.waitForText("eco> a metà"));
    if (c.key) session.send(c.key);
    if (c.signal) session.signal(c.signal);
    EXPECT_TRUE(endsNormally(session, c.exitCode));
  }
}

TEST(TerminalProgram, SurvivesResizingDownToOneCellAndRepaintsWhenItGrowsAgain) {
  PtySession session(echo());
  ASSERT_TRUE(session.waitForText("eco>"));
  session.sendLine("prima");
  ASSERT_TRUE(session.waitForText("letto: [prima]"));
  const struct { int rows, cols; } sizes[] = {{1, 1}, {2, 3}, {1, 80}, {25, 1}};
  std::vector<std::string> typed;
  for (const auto& size : sizes) {
    const size_t before = session.received().size();
    session.resize(size.rows, size.cols);
    ASSERT_TRUE(
        session.waitFor([&](const VtermScreen&) { return session.received().size() > before; },
                        "output at the new size"));
    typed.push_back(std::to_string(size.cols) + "x" + std::to_string(size.rows));
    session.sendLine("passo " + typed.back());
    typed.back() += "]";
  }
  session.resize(25, 80);
  ASSERT_TRUE(session.waitForText("letto: [passo " + typed.back()));
  ASSERT_TRUE(session.waitForText("letto: [prima]")) << "the whole screen buffer is shown again";
  // The emulator keeps the rows that a shrinking window pushed out: count the screen alone.
  session.screen().clearScrollback();
  EXPECT_EQ(rowsStartingWith(session.screen(), "letto: [passo "), typed);
  session.sendLine("fine");
  EXPECT_TRUE(endsNormally(session, 0));
}

TEST(TerminalProgram, CtrlZHandsTheTerminalBackAndContinuingRepaints) {
  PtySession session(echo(true));
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

TEST(TerminalProgram, TheRealProgramStartsDrawsAndLeavesTheTerminalAsItFoundItOnEveryWayOut) {
  const std::pair<const char*, int> cases[] = {
      {"\resci\r", 0},  // typed ahead: no method chosen, then the exit word
      {"\x03", 130},
      {"a\rx\r", 106},  // an invalid number ends with a run-time error
  };
  for (const auto& [typed, exitCode] : cases) {
    SCOPED_TRACE(exitCode);
    PtySession session;
    ASSERT_TRUE(session.waitForText("=>"));
    session.send(typed);
    EXPECT_TRUE(endsNormally(session, exitCode));
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
