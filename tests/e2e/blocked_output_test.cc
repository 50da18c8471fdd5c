// A terminal that does not keep up: it stops reading for a while, has been made non-blocking,
// goes away in the middle of a listing, or gets Ctrl-C while output is still on its way. The
// long listing is the Fibonacci method's list of elements, every row of which is different,
// so a lost, doubled or reordered row shows.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "support/e2e_dialogue.h"

namespace qv::e2e {
namespace {

constexpr int elementCount = 20000;  // about 230 KB of output: far more than a pty queues
const std::string header =
    "Sequenza di Fibonacci fino al " + std::to_string(elementCount) + "esimo elemento:";

// The rows of the list as an 80-column terminal shows them, trailing blanks dropped.
std::vector<std::string> elementRows() {
  std::string line;
  std::uint32_t previous = 1, current = 1;
  line += "1  1  ";
  for (int i = 3; i <= elementCount; ++i) {
    const std::uint32_t next = previous + current;
    previous = current;
    current = next;
    line += std::to_string(std::int32_t(current)) + "  ";
  }
  std::vector<std::string> rows;
  for (std::size_t start = 0; start < line.size(); start += screenColumns) {
    std::string row = line.substr(start, screenColumns);
    rows.push_back(row.erase(row.find_last_not_of(' ') + 1));
  }
  return rows;
}

// The list from its first row on, as far as the terminal shows it: the number of whole rows,
// or -1 when a row is missing, doubled or out of order. A cut-off row may end it (only between
// two values when cutMidValue is false), then only empty rows.
int rowsShown(const VtermScreen& screen, const std::vector<std::string>& expected,
              bool cutMidValue = true) {
  const std::vector<CellRow> rows = everyRow(screen);
  const int first = lastRowWithText(rows, header) + 1;
  if (first == 0) return -1;
  int whole = 0;
  while (whole < int(expected.size()) && first + whole < int(rows.size()) &&
         textOf(rows[std::size_t(first + whole)]) == expected[std::size_t(whole)]) {
    ++whole;
  }
  for (int i = first + whole; i < int(rows.size()); ++i) {
    const std::string text = textOf(rows[std::size_t(i)]);
    const std::string& row = i == first + whole && whole < int(expected.size())
                                 ? expected[std::size_t(whole)]
                                 : std::string();
    const bool cutOff =
        !row.empty() && row.starts_with(text) && (cutMidValue || row[text.size()] == ' ');
    if (!text.empty() && !cutOff) return -1;
  }
  return whole;
}

// Asks for the list, then reads nothing for a while (scaled for slow machines): the program
// writes until the terminal's queue is full and then waits for the terminal.
testing::AssertionResult listWhileNobodyReads(PtySession& session, double seconds) {
  auto started = startMethod(session, "c", elementsPrompt, std::to_string(elementCount));
  if (started) std::this_thread::sleep_for(std::chrono::duration<double>(scaledSeconds(seconds)));
  return started;
}

// The kernel empties the terminal's queues when Ctrl-C or Ctrl-\ is typed, unless told not to:
// the rows on their way to the terminal would vanish from the scrollback. The rows of a frame
// the key cut short reach it too, so that none of those shown is left half drawn.
TEST(BlockedOutput, SignalsEndTheProgramAtOnceWhileTheTerminalReadsNothing) {
  const std::vector<std::string> expected = elementRows();
  const struct {
    const char* typed;
    int signal;
  } cases[] = {{"\x03", SIGINT}, {"\x1c", SIGQUIT}, {nullptr, SIGTERM}, {nullptr, SIGHUP}};
  for (const auto& c : cases) {
#ifdef QV_TARGET_EMULATOR
    // qemu-user writes a line of its own to the terminal after a signal that dumps core has
    // ended the program, and waits for the terminal to take it like any other writer.
    if (c.signal == SIGQUIT) continue;
#endif
    SCOPED_TRACE(c.signal);
    PtySession session;
    ASSERT_TRUE(listWhileNobodyReads(session, 0.3));
    if (c.typed) session.send(c.typed);
    if (!c.typed) session.signal(c.signal);
    EXPECT_TRUE(session.waitForExitUnread(1.0));
    EXPECT_EQ(session.terminatingSignal(), c.signal);
    EXPECT_TRUE(session.waitForSettingsRestored());
    if (!c.typed) continue;
    // Hundreds of rows were on their way; they all arrive, in order, the last one maybe cut off;
    // and what follows (the shell's "Quit") starts on an empty row, never over one of them.
    ASSERT_TRUE(endsAsFound(session, Ending::by(c.signal)));
    EXPECT_GE(rowsShown(session.screen(), expected), 100) << session.report();
    EXPECT_EQ(session.screen().rowText(session.screen().cursor().row), "") << session.report();
  }
}

// A slow terminal, which reads again as soon as Ctrl-C is typed: the rest of the last frame gets
// its wait, so that no row of the list stays cut in the middle of a value. (Where the key cuts
// the frame varies from round to round.)
TEST(BlockedOutput, ASlowTerminalGetsTheRestOfTheLastFrameAfterCtrlC) {
  for (int round = 1; round <= 10; ++round) {
    SCOPED_TRACE(round);
    PtySession session;
    ASSERT_TRUE(listWhileNobodyReads(session, 0.3));
    session.send("\x03");
    ASSERT_TRUE(endsAsFound(session, Ending::by(SIGINT)));
    EXPECT_GE(rowsShown(session.screen(), elementRows(), false), 100) << session.report();
  }
}

TEST(BlockedOutput, ANonBlockingTerminalThatStallsLosesNoRow) {
  PtyOptions options;
  options.inChild = [] {
    fcntl(STDOUT_FILENO, F_SETFL, fcntl(STDOUT_FILENO, F_GETFL) | O_NONBLOCK);
  };
  PtySession session(options);
  // Longer than anything should give up after.
  ASSERT_TRUE(listWhileNobodyReads(session, 1.5));
  ASSERT_TRUE(waitForPause(session));
  std::vector<Row> rows = {{header, Ink::white}};
  for (const std::string& row : elementRows()) rows.push_back({row, Ink::white});
  rows.insert(rows.end(), {{}, {ratioPause, Ink::white}});
  EXPECT_TRUE(rowsFrom(session, lastRowWithText(everyRow(session.screen()), header), rows));
  session.send("\x03");
  EXPECT_TRUE(endsAsFound(session, Ending::by(SIGINT)));
}

// A terminal that goes away in the middle of a listing. When SIGHUP does not reach the program
// (its parent blocked it), only the failing writes tell: the program ends at once, as the
// hang-up would have ended it, instead of running on with nowhere to write. When its parent
// ignores SIGHUP (nohup), the program respects that and ends with the code of a hang-up.
TEST(BlockedOutput, ATerminalThatGoesAwayEndsTheProgramAsAHangUp) {
  const struct {
    void (*setUp)();
    Ending ending;
  } cases[] = {{[] {
                  sigset_t hangUp;
                  sigemptyset(&hangUp);
                  sigaddset(&hangUp, SIGHUP);
                  sigprocmask(SIG_BLOCK, &hangUp, nullptr);
                },
                Ending::by(SIGHUP)},
               {[] { signal(SIGHUP, SIG_IGN); }, Ending::code(128 + SIGHUP)}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ending.signal != 0 ? "SIGHUP blocked" : "SIGHUP ignored");
    PtyOptions options;
    options.inChild = c.setUp;
    PtySession session(options);
    ASSERT_TRUE(startMethod(session, "a", repetitionsPrompt, "100000000"));
    ASSERT_TRUE(session.waitForText("1.618033988749895"));
    session.hangUp();
    ASSERT_TRUE(session.waitForExit(2.0));
    EXPECT_EQ(session.exitCode(), c.ending.exitCode);
    EXPECT_EQ(session.terminatingSignal(), c.ending.signal);
  }
}

}  // namespace
}  // namespace qv::e2e
