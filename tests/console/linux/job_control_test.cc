// Ctrl-Z, fg, bg and kill %1, as a shell with job control does them: the echo dialogue runs
// under the job-control shim of tests/console/linux/helpers, straight or behind a wrapper process
// (as `make run` or a script starts it), which stops first and lets the shell take the
// terminal back before the program could hand it over.
#include <signal.h>
#include <termios.h>

#include <string>

#include "support/pty_session.h"

namespace qv {
namespace {

PtyOptions underShim(bool wrapped) {
  PtyOptions options;
  options.program = helperPath("job_shim");
  options.arguments = targetCommand(helperPath("echo_console"));
  if (wrapped) {
    options.arguments.insert(options.arguments.begin(), {"/bin/sh", "-c", "\"$@\"; true", "sh"});
  }
  return options;
}

// Ctrl-Z stops the job; the shim says so once it has the terminal back.
testing::AssertionResult suspend(PtySession& session) {
  session.send("\x1a");
  if (auto stopped = session.waitForText("[shim] fermato da " + std::to_string(SIGTSTP));
      !stopped) {
    return stopped;
  }
  return session.waitForSettingsRestored();
}

// Continued, the program goes on below what the shell wrote, which (with the dialogue's rows
// above it) scrolled into the scrollback as written: nothing painted over, nothing twice.
testing::AssertionResult repainted(PtySession& session) {
  return session.waitFor(
      [](const VtermScreen& s) {
        return !s.contains("[shim]") && s.cursor().row == 0 && s.rowText(0) == "eco>";
      },
      "the repaint after continuing");
}

// Ctrl-Z and fg, three times. Continued in the background (bg) in between, the program neither
// draws nor changes the terminal's settings: it stops again, as a program writing to its
// terminal from the background is stopped, and takes the terminal only in the foreground.
TEST(JobControl, CtrlZBgAndFgWorkEveryTimeAlsoBehindAWrapper) {
  for (const bool wrapped : {false, true}) {
    SCOPED_TRACE(wrapped ? "behind sh -c" : "straight");
    PtySession session(underShim(wrapped));
    ASSERT_TRUE(session.waitForText("eco>"));
    session.sendLine("prima");
    ASSERT_TRUE(session.waitForText("letto: [prima]"));
    for (int round = 1; round <= 3; ++round) {
      SCOPED_TRACE(round);
      ASSERT_TRUE(suspend(session)) << "a stopped program leaves the terminal as it found it";
      // (Behind the wrapper the shim waits for the wrapper, which bg does not stop.)
      if (round == 2 && !wrapped) {
        session.sendLine("bg");
        ASSERT_TRUE(session.waitForText("[shim] fermato da " + std::to_string(SIGTTOU)));
        ASSERT_TRUE(session.waitForSettingsRestored());
      }
      session.sendLine("fg");
      ASSERT_TRUE(repainted(session));
      EXPECT_EQ(session.currentSettings().c_lflag & ECHO, 0u) << "raw mode again";
      const std::string line = "dopo " + std::to_string(round);
      session.sendLine(line);
      ASSERT_TRUE(session.waitForText("letto: [" + line + "]"));
    }
    EXPECT_EQ(rowsStartingWith(session.screen(), "letto: [").size(), 4u) << session.report();
    EXPECT_EQ(rowsStartingWith(session.screen(), "[shim] fermato").size(), wrapped ? 3u : 4u);
    // kill %1 on the stopped job: it ends as soon as it is continued.
    if (!wrapped) {
      ASSERT_TRUE(suspend(session));
    }
    session.sendLine(wrapped ? "fine" : "kill");
    EXPECT_TRUE(endsAsFound(session, Ending::code(wrapped ? 0 : 128 + SIGTERM)));
  }
}

}  // namespace
}  // namespace qv
