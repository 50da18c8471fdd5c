// A terminal that does not keep up: it stops reading for a while, or has been made
// non-blocking, and gets Ctrl-C while output is still on its way. The
// long listing is the Fibonacci method's list of elements, every row of which is different,
// so a lost, doubled or reordered row shows.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/e2e_dialogue.h"

namespace qv::e2e {
namespace {

constexpr int elementCount = 20000;  // about 230 KB of output: far more than a pty queues
const std::string header =
    "Sequenza di Fibonacci fino al " + std::to_string(elementCount) + "esimo elemento:";

// The list as an 80-column terminal shows it, trailing blanks dropped, each row ended by "\n".
std::string elementRows() {
  std::string line = "1  1  ", rows;
  for (std::uint32_t previous = 1, current = 1, i = 3; i <= elementCount; ++i) {
    previous = std::exchange(current, previous + current);
    line += std::to_string(std::int32_t(current)) + "  ";
  }
  for (std::size_t start = 0; start < line.size(); start += screenColumns) {
    std::string row = line.substr(start, screenColumns);
    rows += row.erase(row.find_last_not_of(' ') + 1) + "\n";
  }
  return rows;
}

// How many whole rows of the list the terminal shows from its first row on, or -1 when a row
// is missing, doubled or out of order. A row cut off between two values may end it, then only
// empty rows.
int rowsShown(const VtermScreen& screen) {
  const std::vector<CellRow> rows = everyRow(screen);
  const int first = lastRowWithText(rows, header) + 1;
  std::string shown;
  for (int i = first; first > 0 && i < int(rows.size()); ++i)
    shown += textOf(rows[std::size_t(i)]) + "\n";
  shown.erase(shown.find_last_not_of('\n') + 1);
  const std::string expected = elementRows();
  if (first == 0 || !expected.starts_with(shown)) return -1;
  const char next = expected[shown.size()];  // '\0' after the whole list
  return next == ' ' || next == '\n' || next == '\0'
             ? int(std::count(shown.begin(), shown.end(), '\n'))
             : -1;
}

// Asks for the list, then reads nothing for a while (scaled for slow machines): the program
// writes until the terminal's queue is full and then waits for the terminal.
testing::AssertionResult listWhileNobodyReads(PtySession& session, double seconds) {
  auto started = startMethod(session, "c", elementsPrompt, std::to_string(elementCount));
  if (started) std::this_thread::sleep_for(std::chrono::duration<double>(scaledSeconds(seconds)));
  return started;
}

// A slow terminal, which reads again as soon as Ctrl-C is typed: the rest of the last frame gets
// its wait, so that no row of the list stays cut in the middle of a value. (Where the key cuts
// the frame varies from round to round.) In the first round the terminal was made non-blocking
// and stalls for longer than anything should give up after: still no row is lost.
TEST(BlockedOutput, ASlowTerminalGetsTheRestOfTheLastFrameAfterCtrlC) {
  for (int round = 1; round <= 10; ++round) {
    SCOPED_TRACE(round);
    PtyOptions options;
    if (round == 1) {
      options.inChild = [] {
        fcntl(STDOUT_FILENO, F_SETFL, fcntl(STDOUT_FILENO, F_GETFL) | O_NONBLOCK);
      };
    }
    PtySession session(options);
    ASSERT_TRUE(listWhileNobodyReads(session, round == 1 ? 1.5 : 0.3));
    session.send("\x03");
    ASSERT_TRUE(endsAsFound(session, Ending::by(SIGINT)));
    EXPECT_GE(rowsShown(session.screen()), 100) << session.report();
  }
}

}  // namespace
}  // namespace qv::e2e
