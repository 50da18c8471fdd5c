// Runs a program in a pseudo-terminal and looks at its screen through an in-memory terminal
// emulator, the way a person at a real terminal would.
//
//   qv::PtySession session({.rows = 25, .cols = 80});   // the real program
//   ASSERT_TRUE(session.waitForText("=>"));
//   session.sendLine("a");                               // typed text, then Enter (CR)
//   ASSERT_TRUE(session.waitFor([](const qv::VtermScreen& s) { return s.contains("phi"); },
//                               "the result line"));
//   ASSERT_TRUE(session.waitForExit());
//   EXPECT_EQ(session.exitCode(), 0);
//   EXPECT_TRUE(session.waitForSettingsRestored());
//
// Every wait polls the pty and feeds the emulator until the expected state is there or the
// deadline passes (output that keeps coming moves it, up to four times); deadlines are
// multiplied by the environment variable QV_TEST_TIMEOUT_SCALE (default 1) for slow machines.
// A failed wait returns an AssertionResult that carries the
// numbered screen rows and the cursor.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>
#include <termios.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pty_process.h"
#include "vterm_screen.h"

namespace qv {

// Deadline of a wait in seconds, already multiplied by QV_TEST_TIMEOUT_SCALE.
double scaledSeconds(double seconds);

// Where a program the tests start is found: the real one, or a helper by its name (the
// helpers of tests/*/helpers; the test binaries that start them know their folder).
std::string programPath();
#ifdef QV_HELPER_DIR
inline std::string helperPath(std::string_view name) {
  return std::string(QV_HELPER_DIR) + "/" + std::string(name);
}
#endif

// The command that starts a program built for the target, for a program of the tests that
// starts another one (a shell, the job-control shim): the program itself, or, when the tests
// run under an emulator (the aarch64 build under qemu-user), the emulator's command and then
// the program, since the kernel here cannot start the target's programs by itself.
// PtySession and runWithoutTerminal do this on their own.
std::vector<std::string> targetCommand(const std::string& program);

struct PtyOptions {
  std::string program = programPath();
  std::vector<std::string> arguments;
  int rows = 25;
  int cols = 80;
  // Standard input from a pipe that carries these bytes and then ends, instead of the pty
  // (the pty stays the controlling terminal).
  std::optional<std::string> pipedInput;
  // Keys are sent only while the terminal is in raw mode (no ICANON), for programs that switch
  // it only while they read (a Wine console): typed earlier, the line discipline would echo
  // them and turn CR into LF.
  bool typeOnlyWhenRaw = false;
  // Runs in the child just before the program starts (descriptors to close or replace,
  // signals to ignore, flags to set on the terminal).
  std::function<void()> inChild;
  // Changes to the terminal's settings before the program starts, as `stty` would make them.
  std::function<void(termios&)> adjustSettings;
  // The program finds TERM=xterm-256color and LANG=C.UTF-8, and these ("NAME=value").
  std::vector<std::string> environment;
};

class PtySession {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr double defaultTimeout = 10.0;  // seconds, before scaling

  explicit PtySession(PtyOptions options = {});
  ~PtySession();  // kills the program (SIGKILL) if it still runs
  PtySession(const PtySession&) = delete;
  PtySession& operator=(const PtySession&) = delete;

  // Keys: the bytes go to the pty master as typed. sendLine adds CR, what Enter sends.
  void send(std::string_view bytes);
  void sendLine(std::string_view text) { send(std::string(text) + "\r"); }

  // Waits until the predicate holds for the screen (checked after every chunk of output).
  testing::AssertionResult waitFor(const std::function<bool(const VtermScreen&)>& predicate,
                                   std::string_view what, double seconds = defaultTimeout);
  // Waits until the text stands on one row of the screen.
  testing::AssertionResult waitForText(std::string_view text, double seconds = defaultTimeout);
  // Waits until the program has ended and all its output has been read.
  testing::AssertionResult waitForExit(double seconds = defaultTimeout);
  // Exit code of a normal end, -1 otherwise (or while running).
  int exitCode() const;
  // Signal that killed it, 0 otherwise.
  int terminatingSignal() const;

  const VtermScreen& screen() const { return screen_; }
  VtermScreen& screen() { return screen_; }
  // Every byte the program wrote to the terminal so far.
  const std::string& received() const { return received_; }

  // The terminal's settings as they are now (also after exit).
  termios currentSettings() const;
  // Waits until the line-discipline settings that matter to a shell equal the ones the pty
  // started with (at once when they already do).
  testing::AssertionResult waitForSettingsRestored(double seconds = defaultTimeout);

  // The terminal changes size: the emulator and the pty (which sends SIGWINCH).
  void resize(int rows, int cols);
  // While held, what the emulator answers (to ESC [ 6 n) waits, as over a slow link, until it
  // is released.
  void holdAnswers(bool hold) { holdAnswers_ = hold; }
  void releaseAnswers();
  // Lets the program run (its output read) for this long: the pace of a storm, not a deadline.
  void pause(double seconds);
  void signal(int signalNumber);
  // The terminal goes away: the master side is closed, as when a terminal window is closed.
  void hangUp();

  // Screen, cursor and how the program ended: for failure messages.
  std::string report() const;

 private:
  void start(const PtyOptions& options);
  void pumpFor(Clock::duration timeout);
  void readMaster();
  void reap(bool block);
  testing::AssertionResult failure(std::string_view what) const;

  VtermScreen screen_;
  PtyProcess process_;
  bool masterClosed_ = false;
  bool typeOnlyWhenRaw_ = false;
  bool holdAnswers_ = false;
  std::string heldAnswers_;
  bool reaped_ = false;
  int status_ = 0;
  termios initial_{};
  std::string received_;
};

// How a program ended: with an exit code, or killed by a signal.
struct Ending {
  int exitCode = -1;
  int signal = 0;
  static Ending code(int exitCode) { return {exitCode, 0}; }
  static Ending by(int signal) { return {-1, signal}; }
};

// Waits for the end; then the program ended so and left the terminal as it was found: the
// settings of the start, the cursor shown, auto-wrap back on.
testing::AssertionResult endsAsFound(PtySession& session, Ending ending);

// The rows of the scrollback and the screen that begin with the prefix, in order, with the
// prefix taken off.
std::vector<std::string> rowsStartingWith(const VtermScreen& screen, const std::string& prefix);

// The outcome of a program run with no terminal at all.
struct DetachedRun {
  int exitCode = -1;  // -1 when it did not end normally
  int terminatingSignal = 0;
  std::string stdoutText;
  std::string stderrText;
};

// Runs a program in a new session with no controlling terminal (so /dev/tty cannot be
// opened), standard input from /dev/null and standard output and error collected; standard
// output goes to the file standardOutput instead when one is named; inChild runs in the child
// just before the program starts.
DetachedRun runWithoutTerminal(const std::string& program, double seconds = 10.0,
                               const std::vector<std::string>& arguments = {},
                               const std::string& standardOutput = "",
                               const std::function<void()>& inChild = {});

}  // namespace qv
