// One resize storm against the program in a pseudo-terminal drawn by libvterm, for
// resize_storms.py, which counts what it leaves: the dialogue of method c, then the window's size
// changes while the ratios stream or while the exit question waits, or in one of the harder
// timings (an answer to the cursor question that comes late; a stop, a resize and a continue).
// Writes the scrollback and the screen, one row a line, to the file named, and prints
// "prompt 1" when the exit question and its "=>" stand on the screen at the end.
//
//   storm_screen listing|prompt|late|stop SEED ROWS_FILE [PROGRAM]
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "support/pty_session.h"

namespace {

constexpr const char* exitQuestion = "Type 'esci' to exit or press enter to continue";

bool quietFor(qv::PtySession& session, double seconds) {
  const std::size_t before = session.received().size();
  session.pause(seconds);
  return session.received().size() == before;
}

// Waits until the program has drawn nothing for a second: the sizes settled, the frame out.
void settle(qv::PtySession& session) {
  for (int i = 0; i < 60 && !quietFor(session, 1.0); ++i) {
  }
}

// The prompt on the cursor's row, the exit question the last row with text above it.
bool promptShown(const std::vector<std::string>& rows, std::size_t cursor) {
  if (cursor >= rows.size() || rows[cursor] != "=>") return false;
  for (std::size_t row = cursor; row-- > 0;) {
    if (!rows[row].empty()) return rows[row] == exitQuestion;
  }
  return false;
}

// The menu, c, and n; returns once the ratios are asked for (Enter at the pause).
bool startMethodC(qv::PtySession& session, int n) {
  if (!session.waitForText("=>", 60)) return false;
  session.sendLine("c");
  if (!session.waitForText("[<47]", 60)) return false;
  session.sendLine(std::to_string(n));
  if (!session.waitForText("Premi invio", 120)) return false;
  session.sendLine("");
  return true;
}

void storm(qv::PtySession& session, std::mt19937& random, int sizes, double gap, bool widths) {
  for (int i = 0; i < sizes; ++i) {
    session.resize(5 + random() % 45, widths ? 60 + random() % 40 : 80);
    session.pause(gap);
  }
  session.resize(25, 80);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: storm_screen listing|prompt|late|stop SEED ROWS_FILE [PROGRAM]\n");
    return 2;
  }
  const std::string mode = argv[1];
  std::mt19937 random(static_cast<unsigned>(std::atoi(argv[2])));
  qv::PtyOptions options;
  if (argc > 4) options.program = argv[4];
  qv::PtySession session(options);
  const int n = mode == "prompt" ? 300 : 20000;
  if (!startMethodC(session, n)) {
    std::fprintf(stderr, "the dialogue did not start:\n%s", session.report().c_str());
    return 1;
  }
  if (mode == "listing") {
    session.pause(0.2);
    storm(session, random, 25, 0.04, true);
  } else if (mode == "prompt") {
    session.waitForText(exitQuestion, 120);
    session.pause(0.1);
    storm(session, random, 30, 0.03, false);
  } else if (mode == "late") {
    // The answer to the grow's question is held until the program gave up on it and drew on.
    session.pause(0.2);
    session.holdAnswers(true);
    session.resize(25, 100);
    const std::size_t asked = session.received().rfind("\x1b[6n");
    session.waitFor(
        [&](const qv::VtermScreen&) {
          const std::size_t at = session.received().rfind("\x1b[6n");
          return at != std::string::npos && at != asked && session.received().size() > at + 4096;
        },
        "rows after the unanswered question", 60);
    session.holdAnswers(false);
    session.releaseAnswers();
    session.pause(0.1);
    session.resize(40, 100);
  } else if (mode == "stop") {
    session.pause(0.1);
    session.signal(SIGSTOP);
    session.pause(0.2);
    session.resize(40, 80);
    session.pause(0.2);
    session.signal(SIGCONT);
  }
  session.waitFor(
      [](const qv::VtermScreen& screen) {
        for (const std::string& row : screen.scrollbackText())
          if (row == exitQuestion) return true;
        return screen.contains(exitQuestion);
      },
      "the exit question", 300);
  settle(session);
  std::vector<std::string> rows = session.screen().scrollbackText();
  const std::size_t cursor = rows.size() + static_cast<std::size_t>(session.screen().cursor().row);
  for (int row = 0; row < session.screen().rows(); ++row)
    rows.push_back(session.screen().rowText(row));
  std::ofstream file(argv[3]);
  for (const std::string& row : rows) file << row << '\n';
  std::printf("prompt %d\n", promptShown(rows, cursor) ? 1 : 0);
  session.sendLine("esci");
  session.waitForExit(30);
  return 0;
}
