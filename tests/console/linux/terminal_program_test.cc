// The terminal as a person meets it: a program in a pseudo-terminal, its screen read through a
// terminal emulator. Most cases drive the small echo dialogue of tests/console/helpers; the
// ones about start-up and the ways out run the real program too.
#include <signal.h>
#include <termios.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
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

// Types numbered lines, each answered on the screen before the next is typed.
testing::AssertionResult typeLines(PtySession& session, int& line, int count) {
  for (int i = 0; i < count; ++i) {
    const std::string text = "riga " + std::to_string(++line);
    session.sendLine(text);
    if (auto shown = session.waitForText("letto: [" + text + "]"); !shown) return shown;
  }
  return testing::AssertionSuccess();
}

TEST(TerminalProgram, FollowsTheWindowSizeAndEveryRowReachesTheScrollbackOnceInOrder) {
  PtySession session(echo());
  ASSERT_TRUE(session.waitForText("eco>"));
  int line = 0;
  ASSERT_TRUE(typeLines(session, line, 30));
  session.resize(30, 100);  // wider: a long line wraps at the new width
  const std::string wide(95, 'w');
  session.sendLine(wide);
  ASSERT_TRUE(session.waitForText("letto: [" + wide.substr(0, 92)));
  EXPECT_TRUE(session.screen().contains("www]")) << session.report();
  ASSERT_TRUE(typeLines(session, line, 30));  // and the rows fill the new height
  EXPECT_EQ(session.screen().cursor().row, 29) << session.report();
  session.resize(10, 60);  // the rows above the cursor leave the top
  ASSERT_TRUE(typeLines(session, line, 12));
  session.resize(25, 80);
  ASSERT_TRUE(typeLines(session, line, 2));

  std::vector<std::string> expected;
  for (int i = 1; i <= line; ++i) expected.push_back(std::to_string(i) + "]");
  EXPECT_EQ(rowsStartingWith(session.screen(), "letto: [riga "), expected) << session.report();
  session.sendLine("fine");
  EXPECT_TRUE(endsNormally(session, 0));
}

TEST(TerminalProgram, SurvivesResizingDownToOneCell) {
  PtySession session(echo());
  ASSERT_TRUE(session.waitForText("eco>"));
  const struct { int rows, cols; } sizes[] = {{1, 1}, {2, 3}, {1, 80}, {25, 1}, {25, 80}};
  for (const auto& size : sizes) {
    const size_t before = session.received().size();
    session.resize(size.rows, size.cols);
    ASSERT_TRUE(
        session.waitFor([&](const VtermScreen&) { return session.received().size() > before; },
                        "output at the new size"));
    session.send("x\r");
  }
  session.sendLine("dopo");
  ASSERT_TRUE(session.waitForText("letto: [dopo]"));
  session.sendLine("fine");
  EXPECT_TRUE(endsNormally(session, 0));
}

// A window of any size costs at most the bounded screen buffer: the program uses its top-left
// part.
TEST(TerminalProgram, AHugeWindowTakesNoMoreMemoryThanTheBoundedScreenBuffer) {
  PtySession session;
  ASSERT_TRUE(session.waitForText("=>"));
  const size_t before = session.received().size();
  session.resizeWindowOnly(20000, 20000);
  ASSERT_TRUE(
      session.waitFor([&](const VtermScreen&) { return session.received().size() > before; },
                      "the repaint at the new size"));
  std::ifstream status("/proc/" + std::to_string(session.pid()) + "/status");
  long peakKiB = -1;
  for (std::string text; std::getline(status, text);) {
    std::sscanf(text.c_str(), "VmHWM: %ld kB", &peakKiB);
  }
  EXPECT_GT(peakKiB, 0);
  EXPECT_LT(peakKiB, 64 * 1024);
  session.send("\resci\r");
  EXPECT_TRUE(endsNormally(session, 0));
}

// An arrow key whose bytes arrive apart (ssh, a slow link) is still the arrow key.
TEST(TerminalProgram, AKeyWhoseBytesArriveApartIsStillOneKey) {
  PtySession session(echo());
  ASSERT_TRUE(session.waitForText("eco>"));
  session.send("abc");
  ASSERT_TRUE(session.waitForText("eco> abc"));
  const auto sentAt = std::chrono::steady_clock::now();
  session.send("\x1b[");
  std::this_thread::sleep_for(std::chrono::milliseconds(40));
  session.send("D");
  if (std::chrono::steady_clock::now() - sentAt > std::chrono::milliseconds(95)) {
    GTEST_SKIP() << "the machine was too busy to keep the two halves 40 ms apart";
  }
  session.send("X\r");
  ASSERT_TRUE(session.waitForText("letto: [abX]"));
  session.sendLine("fine");
  EXPECT_TRUE(endsNormally(session, 0));
}

// In the keypad's application mode its keys type what they show and its Enter takes the line
// (in the terminal's normal mode that Enter is a line feed, which only moves down a row).
TEST(TerminalProgram, TheKeypadTypesWhatItShowsAndItsEnterTakesTheLine) {
  PtySession session(echo());
  ASSERT_TRUE(session.waitForText("eco>"));
  session.screen().typeOnKeypad("12+3*4/5-6.7\r");
  ASSERT_TRUE(session.waitForText("letto: [12+3*4/5-6.7]"));
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
