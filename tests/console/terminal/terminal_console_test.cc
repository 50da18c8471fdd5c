// The terminal platform in this process, on pseudo-terminals the test opens itself: settings
// saved and put back, signals recorded for later, the session's start, drawing and keys.
#include "console/terminal/terminal_console.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <unistd.h>

#include <string>

#include "console/terminal/signal_pipe.h"
#include "console/terminal/terminal_guard.h"
#include "support/pty_session.h"
#include "support/vterm_screen.h"

namespace qv {
namespace {

// A pseudo-terminal pair: the test plays the person at the master side.
struct Pty {
  int master = -1;
  int slave = -1;
  explicit Pty(int cols = 80, int rows = 25) {
    winsize size{};
    size.ws_col = static_cast<unsigned short>(cols);
    size.ws_row = static_cast<unsigned short>(rows);
    openpty(&master, &slave, nullptr, nullptr, &size);
    fcntl(master, F_SETFL, O_NONBLOCK);
  }
  ~Pty() {
    close(master);
    close(slave);
  }
  termios settings() const {
    termios t{};
    tcgetattr(slave, &t);
    return t;
  }
  void type(std::string_view bytes) const {
    ASSERT_EQ(write(master, bytes.data(), bytes.size()), ssize_t(bytes.size()));
  }
  // Everything the program side wrote so far.
  std::string output() const {
    std::string bytes;
    char chunk[4096];
    ssize_t n;
    while ((n = read(master, chunk, sizeof chunk)) > 0) bytes.append(chunk, size_t(n));
    return bytes;
  }
};

bool sameSettings(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_lflag == b.c_lflag &&
         a.c_cflag == b.c_cflag && a.c_cc[VMIN] == b.c_cc[VMIN] && a.c_cc[VTIME] == b.c_cc[VTIME];
}

bool isRaw(const termios& t) {
  return (t.c_lflag & (ECHO | ICANON)) == 0 && (t.c_lflag & ISIG) != 0 &&
         (t.c_iflag & (ICRNL | IXON)) == 0;
}

class TerminalPlatformTest : public testing::Test {
 protected:
  void TearDown() override { signalPipe::reset(); }
};

TEST_F(TerminalPlatformTest, GuardPutsBackBothTerminalsAndMayBeAskedTwice) {
  Pty display, keyboard;
  const termios displayBefore = display.settings(), keyboardBefore = keyboard.settings();
  TerminalGuard guard;
  ASSERT_TRUE(guard.capture(display.slave, keyboard.slave));
  ASSERT_TRUE(guard.enterRaw());
  EXPECT_TRUE(isRaw(display.settings()));
  EXPECT_TRUE(isRaw(keyboard.settings()));
  guard.leaveRaw();
  guard.leaveRaw();
  EXPECT_TRUE(sameSettings(display.settings(), displayBefore));
  EXPECT_TRUE(sameSettings(keyboard.settings(), keyboardBefore));

  // Saved once: raw settings found at a second capture are not taken for the originals.
  ASSERT_TRUE(guard.enterRaw());
  ASSERT_TRUE(guard.capture(display.slave, keyboard.slave));
  guard.leaveRaw();
  EXPECT_TRUE(sameSettings(display.settings(), displayBefore));
}

TEST_F(TerminalPlatformTest, GuardRefusesWhatIsNoTerminal) {
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  TerminalGuard guard;
  EXPECT_FALSE(guard.capture(ends[1], ends[0]));
  EXPECT_FALSE(guard.enterRaw());
  close(ends[0]);
  close(ends[1]);
}

TEST_F(TerminalPlatformTest, SignalsAreRecordedAndWakeThePipeUntilTaken) {
  ASSERT_TRUE(signalPipe::install());
  EXPECT_FALSE(signalPipe::pending());
  raise(SIGWINCH);
  raise(SIGTSTP);  // recorded only: the process goes on
  raise(SIGINT);
  raise(SIGTERM);
  pollfd wake{signalPipe::wakeDescriptor(), POLLIN, 0};
  EXPECT_EQ(poll(&wake, 1, 0), 1);
  EXPECT_TRUE(signalPipe::pending());
  EXPECT_EQ(signalPipe::endingSignal(), SIGINT) << "the first ending signal counts";
  EXPECT_TRUE(signalPipe::takeResize());
  EXPECT_FALSE(signalPipe::takeResize());
  EXPECT_TRUE(signalPipe::takeStop());
  EXPECT_FALSE(signalPipe::takeContinue());
  signalPipe::drain();
  EXPECT_EQ(poll(&wake, 1, 0), 0);

  signalPipe::reset();
  EXPECT_FALSE(signalPipe::pending());
  struct sigaction now {};
  sigaction(SIGINT, nullptr, &now);
  EXPECT_EQ(now.sa_handler, SIG_DFL) << "the old disposition is back";
}

TEST_F(TerminalPlatformTest, SessionStartsOnlyOnATerminalWithItsSizeOrEightyByTwentyFive) {
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  {
    TerminalConsole console(ends[0], ends[1], 2);
    ScreenBufferInfo info{};
    EXPECT_FALSE(console.getScreenBufferInfo(console.standardHandle(-11), info));
    EXPECT_FALSE(console.sessionStarted());
    EXPECT_EQ(console.standardHandle(-10), ends[0]);
    EXPECT_EQ(console.standardHandle(-12), 2);
    EXPECT_EQ(console.standardHandle(-13), noHandle);
  }
  close(ends[0]);
  close(ends[1]);

  const struct {
    int cols, rows, expectedCols, expectedRows;
  } cases[] = {{37, 9, 37, 9}, {0, 0, 80, 25}, {1, 1, 1, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.cols) + "x" + std::to_string(c.rows));
    Pty pty(c.cols, c.rows);
    const termios before = pty.settings();
    TerminalConsole console(pty.slave, pty.slave, 2);
    ScreenBufferInfo info{};
    ASSERT_TRUE(console.getScreenBufferInfo(pty.slave, info));
    EXPECT_EQ(info.size.x, c.expectedCols);
    EXPECT_EQ(info.size.y, c.expectedRows);
    EXPECT_EQ(info.cursorPosition.x, 0);
    EXPECT_EQ(info.cursorPosition.y, 0);
    EXPECT_EQ(info.attributes, 0x07);
    EXPECT_TRUE(isRaw(pty.settings()));
    console.shutDown();
    EXPECT_TRUE(sameSettings(pty.settings(), before));
  }
}

TEST_F(TerminalPlatformTest, DrawingReachesTheTerminalBeforeAKeyIsAwaited) {
  Pty pty(20, 5);
  TerminalConsole console(pty.slave, pty.slave, 2);
  ScreenBufferInfo info{};
  ASSERT_TRUE(console.getScreenBufferInfo(pty.slave, info));
  const char* word = "ciao";
  for (int i = 0; word[i]; ++i) {
    console.writeCell(pty.slave, {std::uint8_t(word[i]), 0x0E}, {std::int16_t(3 + i), 2});
  }
  console.setCursorPosition(pty.slave, {7, 2});
  pty.type("k");
  console.waitForInput(0);
  InputRecord key{};
  ASSERT_TRUE(console.readInput(0, key));
  EXPECT_EQ(key.keyEvent.asciiChar, 'k');

  VtermScreen screen(5, 20);
  screen.feed(pty.output());
  EXPECT_EQ(screen.rowText(2), "   ciao") << screen.dump();
  EXPECT_EQ(screen.cursor().row, 2);
  EXPECT_EQ(screen.cursor().col, 7);
  console.shutDown();
}

TEST_F(TerminalPlatformTest, KeysTypedFasterThanTheyAreTakenAreNeitherLostNorReordered) {
  Pty pty;
  TerminalConsole console(pty.slave, pty.slave, 2);
  ScreenBufferInfo info{};
  ASSERT_TRUE(console.getScreenBufferInfo(pty.slave, info));
  std::string typed;
  for (int i = 0; i < 1500; ++i) typed += char('a' + i % 26);
  pty.type(typed);

  std::string taken;
  while (taken.size() < typed.size()) {
    console.waitForInput(0);
    std::uint32_t waiting = 0;
    ASSERT_TRUE(console.numberOfInputEvents(0, waiting));
    ASSERT_GT(waiting, 0u);
    InputRecord key{};
    while (console.readInput(0, key)) taken += char(key.keyEvent.asciiChar);
  }
  EXPECT_EQ(taken, typed);
  console.shutDown();
}

TEST_F(TerminalPlatformTest, ALoneEscIsDeliveredOnceNoMoreBytesFollow) {
  Pty pty;
  TerminalConsole console(pty.slave, pty.slave, 2);
  ScreenBufferInfo info{};
  ASSERT_TRUE(console.getScreenBufferInfo(pty.slave, info));
  pty.type("\x1b");
  console.waitForInput(0);
  InputRecord key{};
  ASSERT_TRUE(console.readInput(0, key));
  EXPECT_EQ(key.keyEvent.asciiChar, 0x1B);
  EXPECT_FALSE(console.readInput(0, key));
  console.shutDown();
}

}  // namespace
}  // namespace qv
