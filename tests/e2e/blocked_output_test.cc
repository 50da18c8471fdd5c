// A terminal that does not keep up: it stops reading for a while, or has been made
// non-blocking, and gets Ctrl-C while output is still on its way. The
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
// or -1 when a row is missing, doubled or out of order. A row cut off between two values may
// end it, then only empty rows.
int rowsShown(const VtermScreen& screen, const std::vector<std::string>& expected) {
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
    const bool cutOff = !row.empty() && row.starts_with(text) && row[text.size()] == ' ';
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
    EXPECT_GE(rowsShown(session.screen(), elementRows()), 100) << session.report();
  }
}

}  // namespace
}  // namespace qv::e2e
