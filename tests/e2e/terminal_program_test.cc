// The terminal as a person meets it: a program in a pseudo-terminal, its screen read through a
// terminal emulator. Most cases drive the small echo dialogue of tests/console/linux/helpers; the
// ones about start-up run the real program too.
#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <utility>
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
// reaches the line editor: typed ahead, edited, from the keypad; but Ctrl-L, which redraws.
TEST(TerminalProgram, EditsInRawModeTakesKeysTypedAheadAndLeavesTheTerminalAsItFoundIt) {
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
  session.send("xyz\x1b[D");  // Left alone moves the cursor, onto the z
  ASSERT_TRUE(session.waitFor(
      [](const VtermScreen& s) { return s.contains("eco> xyz") && s.cursor().col == 7; },
      "the cursor moved left"));
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
  // In the keypad's application mode its keys type what they show and its Enter takes the line
  // (in the terminal's normal mode that Enter is a line feed, which only moves down a row).
  session.screen().typeOnKeypad("12+3*4/5-6.7\r");
  ASSERT_TRUE(session.waitForText("letto: [12+3*4/5-6.7]"));
  // Ctrl-L redraws a screen that got out of step (here wiped behind the program's back); it
  // types nothing.
  session.screen().feed("\x1b[H\x1b[2J");
  session.send("\x0c");
  ASSERT_TRUE(session.waitForText("letto: [12+3*4/5-6.7]"));
  session.sendLine("x");
  ASSERT_TRUE(session.waitForText("letto: [x]"));
  session.sendLine("fine");
  EXPECT_TRUE(endsAsFound(session, Ending::code(0)));
  EXPECT_FALSE(session.screen().usedAlternateScreen());
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
// signal comes when it hangs up), a hang-up while it waits for a key still ends it as one.
TEST(TerminalProgram, SignalsTheParentIgnoredStayIgnoredAndAHangUpStillEndsIt) {
  PtyOptions options = echo();
  options.inChild = [] {
    for (int ignored : {SIGHUP, SIGINT, SIGQUIT}) signal(ignored, SIG_IGN);
    ioctl(STDIN_FILENO, TIOCNOTTY);
  };
  PtySession session(options);
  ASSERT_TRUE(session.waitForText("eco>"));
  for (int sent : {SIGHUP, SIGINT, SIGQUIT}) session.signal(sent);
  session.send("ancora");
  ASSERT_TRUE(session.waitForText("eco> ancora"));
  session.hangUp();
  ASSERT_TRUE(session.waitForExit());
  EXPECT_EQ(session.exitCode(), 128 + SIGHUP);
}

// The number of cursor questions the program has sent.
std::size_t questions(const PtySession& session) {
  std::size_t count = 0;
  for (auto at = session.received().find("\x1b[6n"); at != std::string::npos;
       at = session.received().find("\x1b[6n", at + 1)) {
    ++count;
  }
  return count;
}

// Rows streamed while the window changes size at moments the program cannot foresee: the bytes
// already on their way were laid out for the old size when the terminal takes them, and the
// terminal (as xterm does) pulls rows down from its scrollback when it grows. Every row still
// reaches the scrollback or the screen once and in order, whether the window grows, shrinks
// (down to two rows), does both, or changes its width (beyond the screen buffer's bound too);
// when the answer to the program's cursor question comes after the program stopped waiting
// (a loaded machine, a slow link) and the next one in time; and in a storm of sizes 40 ms
// apart whose answers lag a size behind. At a prompt, what dragging a window edge sends:
// thirty heights 30 ms apart, then the first size again, the answers lagging a size behind,
// or (as tmux does, up to 250 ms) the screen changing size at once and the pty told only of
// every fourth size, and of the last one 100 ms late. Typing goes on afterwards.
TEST(TerminalProgram, RowsStreamedWhileTheWindowChangesSizeArriveOnceAndInOrder) {
  enum class Answers { onTime, firstLate, lagging };
  struct Kind {
    const char* what;
    std::vector<std::pair<int, int>> sizes;  // rows and columns, taken in turn
    Answers answers = Answers::onTime;
    double gap = 0;     // seconds between sizes; 0: some tens of kilobytes of rows
    int rows = 20000;   // few: all of them drawn before the first size, at the prompt
    int tellEvery = 1;  // the pty is told of every n-th size, and of the last one late
  };
  std::vector<Kind> kinds = {
      {"grow", {{30, 80}, {37, 80}, {50, 80}}},
      {"shrink", {{20, 80}, {13, 80}, {2, 80}}},
      {"shrink, then grow", {{12, 80}, {40, 80}, {9, 80}, {30, 80}}},
      {"width", {{25, 60}, {25, 1030}, {25, 30}, {25, 80}}},
      {"a late answer, then a grow", {{25, 100}, {40, 100}}, Answers::firstLate}};
  std::mt19937 random(20);
  Kind storm{"storm, answers lagging", {}, Answers::lagging, 0.04};
  for (int i = 0; i < 25; ++i) storm.sizes.emplace_back(8 + random() % 40, 60 + random() % 40);
  storm.sizes.emplace_back(25, 80);
  Kind atPrompt{"at the prompt, answers lagging", {}, Answers::lagging, 0.03, 300};
  for (int i = 0; i < 30; ++i) atPrompt.sizes.emplace_back(5 + random() % 50, 80);
  atPrompt.sizes.emplace_back(25, 80);
  Kind toldLate = atPrompt;
  toldLate.what = "at the prompt, the pty told late";
  toldLate.answers = Answers::onTime;
  toldLate.tellEvery = 4;
  kinds.insert(kinds.end(), {storm, atPrompt, toldLate});
  for (const Kind& kind : kinds) {
    SCOPED_TRACE(kind.what);
    PtySession session(echo());
    ASSERT_TRUE(session.waitForText("eco>"));
    session.sendLine("flusso " + std::to_string(kind.rows));
    if (kind.rows < 1000) {
      ASSERT_TRUE(session.waitForText("riga " + std::to_string(kind.rows)));
    }
    std::size_t mark = 0;
    bool late = kind.answers == Answers::firstLate;
    session.holdAnswers(kind.answers != Answers::onTime);
    for (std::size_t i = 0; i < kind.sizes.size(); ++i) {
      if (kind.gap > 0) {
        session.pause(kind.gap);
      } else {
        mark += 10000 + random() % 60000;
        ASSERT_TRUE(session.waitFor(
            [&](const VtermScreen&) { return session.received().size() >= mark; }, "rows"));
      }
      const std::size_t asked = questions(session);
      session.resize(kind.sizes[i].first, kind.sizes[i].second, (i + 1) % kind.tellEvery == 0);
      if (kind.answers == Answers::lagging) session.releaseAnswers();
      if (!std::exchange(late, false)) continue;
      // Held until the program asked and, tired of waiting, went on drawing.
      ASSERT_TRUE(session.waitFor(
          [&](const VtermScreen&) {
            const std::size_t at = session.received().rfind("\x1b[6n");
            return questions(session) > asked && session.received().size() > at + 64;
          },
          "rows after the unanswered question", 3 * PtySession::defaultTimeout));
      session.holdAnswers(false);
      session.releaseAnswers();
    }
    if (kind.tellEvery > 1) {
      session.pause(0.1);
      session.tellSize();
    }
    session.holdAnswers(false);
    session.releaseAnswers();
    ASSERT_TRUE(session.waitFor(
        [&](const VtermScreen& s) {
          return s.contains("riga " + std::to_string(kind.rows)) &&
                 s.rowText(s.cursor().row) == "eco>";
        },
        "the last row and the prompt"));
    EXPECT_TRUE(everyRowOnceAndThePrompt(session, kind.rows));
    session.sendLine("dopo");
    ASSERT_TRUE(session.waitForText("letto: [dopo]"));
  }
}

// Standard input as the program may find it. A closed standard descriptor would be taken by the
// first one the program opens (the signal pipe would become the keyboard): each is opened on
// /dev/null, so that closed input is input that has run out, while the dialogue is drawn on the
// terminal all the same. Input whose reads fail is an I/O error with its report (the operating
// system's error as a run-time error number), not an end of input.
TEST(TerminalProgram, StandardInputClosedHasRunOutAndFailingEndsWithARunTimeError) {
  const struct {
    const char* what;
    std::function<void()> inChild;
    int exitCode;
  } cases[] = {
      {"0 closed", [] { close(STDIN_FILENO); }, 0},
      {"0, 1 and 2 closed",
       [] {
         for (int fd : {0, 1, 2}) close(fd);
       },
       0},
      {"a directory", [] { dup2(open("/", O_RDONLY | O_DIRECTORY), STDIN_FILENO); }, 152},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    PtyOptions options;
    options.inChild = [&c] {
      // One descriptor of the terminal stays open: with none, the test would take the
      // terminal for closed before the program opens /dev/tty.
      fcntl(STDIN_FILENO, F_DUPFD, 10);
      c.inChild();
    };
    PtySession session(options);
    EXPECT_TRUE(endsAsFound(session, Ending::code(c.exitCode)));
    const std::string shown = c.exitCode ? "Runtime error " + std::to_string(c.exitCode) : "=>";
    EXPECT_TRUE(session.screen().contains(shown)) << session.report();
  }
}

// The exit code says that there was no console, even when the message cannot be written. The
// message in a pipe ends as Linux text lines do.
TEST(TerminalProgram, WithoutAnyTerminalSaysSoOnStandardErrorAndEndsWithOne) {
  for (const std::string& program : {helperPath("echo_console"), programPath()}) {
    SCOPED_TRACE(program);
    const DetachedRun run = runWithoutTerminal(program);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.stderrText, "No way to get the console handle\n");
    EXPECT_EQ(run.stdoutText, "");
    const DetachedRun unwritable =
        runWithoutTerminal(program, 10.0, {}, "", [] { dup2(open("/dev/null", O_RDONLY), 2); });
    EXPECT_EQ(unwritable.exitCode, 1);
  }
}

}  // namespace
}  // namespace qv
