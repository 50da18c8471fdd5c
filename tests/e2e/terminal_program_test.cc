// The terminal as a person meets it: a program in a pseudo-terminal, its screen read through a
// terminal emulator. The cases drive the small echo dialogue of tests/console/linux/helpers.
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/pty_session.h"

namespace qv {
namespace {

PtyOptions echo() {
  PtyOptions options;
  options.program = helperPath("echo_console");
  return options;
}

// Whatever the terminal was set to before (here capitals on output, CR sent as LF, the eighth
// bit stripped, LF read as CR), raw mode leaves the dialogue as it should read, and every key
// reaches the line editor, those of the keypad too.
TEST(TerminalProgram, EditsInRawModeAndLeavesTheTerminalAsItFoundIt) {
  PtyOptions options = echo();
  options.adjustSettings = [](termios& t) {
    t.c_oflag |= OPOST | OLCUC | OCRNL;
    t.c_iflag |= ISTRIP | INLCR | IXOFF;
  };
  PtySession session(options);
  ASSERT_TRUE(session.waitForText("eco>"));
  const termios running = session.currentSettings();
  EXPECT_EQ(running.c_oflag & OPOST, 0u) << "output bytes go out unprocessed";
  EXPECT_EQ(running.c_iflag & (ICRNL | INLCR | IGNCR | IXON | IXOFF | ISTRIP | INPCK | PARMRK), 0u)
      << "keys come in unchanged, without flow control";
  EXPECT_EQ(running.c_lflag & (ECHO | ECHONL | ICANON | IEXTEN), 0u) << "no echo, no editing";
  EXPECT_NE(running.c_lflag & ISIG, 0u) << "Ctrl-C and Ctrl-Z keep their meaning";
  EXPECT_EQ(running.c_cc[VMIN], 1);
  EXPECT_EQ(running.c_cc[VTIME], 0);

  session.send("àbcd\x13\r");  // Ctrl-S reaches the line editor (it erases), not flow control
  ASSERT_TRUE(session.waitForText("letto: [àbc]"));
  // In the keypad's application mode its keys type what they show and its Enter takes the line
  // (in the terminal's normal mode that Enter is a line feed, which only moves down a row).
  session.screen().typeOnKeypad("12+3*4/5-6.7\r");
  ASSERT_TRUE(session.waitForText("letto: [12+3*4/5-6.7]"));
  session.sendLine("fine");
  EXPECT_TRUE(endsAsFound(session, Ending::code(0)));
}

// Every signal whose default action ends a process ends this one by that very signal (a
// shell's $? then reads 128 + its number), after the end path has put the terminal back:
// those typed as keys, those sent by another process (the processor faults too), and the
// abort() that an allocation nobody can serve ends in.
TEST(TerminalProgram, EverySignalThatEndsAProcessEndsItByThatSignalWithTheTerminalAsFound) {
  struct Case {
    const char* typed;
    int signal;
  };
  // (Ctrl-Y clears what was typed before the word.)
  std::vector<Case> cases = {{"\x03", SIGINT}, {"\x1c", SIGQUIT}, {"\x19memoria\r", SIGABRT}};
  for (int sent : {SIGHUP,    SIGINT,    SIGQUIT, SIGTERM, SIGUSR1, SIGUSR2, SIGALRM,
                   SIGVTALRM, SIGPROF,   SIGXCPU, SIGXFSZ, SIGSYS,  SIGABRT, SIGIO,
                   SIGPWR,    SIGSTKFLT, SIGSEGV, SIGBUS,  SIGILL,  SIGFPE,  SIGTRAP}) {
    cases.push_back({nullptr, sent});
  }
  cases.push_back({nullptr, SIGRTMIN});
#ifdef QV_TARGET_EMULATOR
  cases.push_back({nullptr, SIGRTMAX - 2});  // qemu-user keeps the two highest for itself
#else
  cases.push_back({nullptr, SIGRTMAX});
#endif
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.typed ? "typed " : "sent ") + strsignal(c.signal));
    PtySession session(echo());
    ASSERT_TRUE(session.waitForText("eco>"));
    session.send("a metà");
    ASSERT_TRUE(session.waitForText("eco> a metà"));
    if (c.typed) session.send(c.typed);
    if (!c.typed) session.signal(c.signal);
    EXPECT_TRUE(endsAsFound(session, Ending::by(c.signal)));
    EXPECT_EQ(session.screen().cursor().col, 0) << "what follows starts on a line of its own";
  }
}

// Started under nohup in the background of a script: SIGHUP, SIGINT and SIGQUIT ignored, as
// its parent chose, and they stay ignored. On a terminal that is not its controlling one (no
// signal comes when it hangs up), a hang-up still ends it as one: while it waits for a key, and
// in the middle of a listing, where only the failing writes tell.
TEST(TerminalProgram, SignalsTheParentIgnoredStayIgnoredAndAHangUpStillEndsIt) {
  for (const std::string typed : {"ancora", "flusso 100000000\r"}) {
    SCOPED_TRACE(typed);
    PtyOptions options = echo();
    options.inChild = [] {
      for (int ignored : {SIGHUP, SIGINT, SIGQUIT}) signal(ignored, SIG_IGN);
      ioctl(STDIN_FILENO, TIOCNOTTY);
    };
    PtySession session(options);
    ASSERT_TRUE(session.waitForText("eco>"));
    for (int sent : {SIGHUP, SIGINT, SIGQUIT}) session.signal(sent);
    session.send(typed);
    ASSERT_TRUE(session.waitForText(typed == "ancora" ? "eco> ancora" : "riga 1"));
    session.hangUp();
    ASSERT_TRUE(session.waitForExit());
    EXPECT_EQ(session.exitCode(), 128 + SIGHUP);
  }
}

}  // namespace
}  // namespace qv
