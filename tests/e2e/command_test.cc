// The program as a command, with no terminal at all: the usage and the version, every problem
// with the command line, the rows of --csv, and how a run ends when its output cannot go
// anywhere. (The lines of a run-time error report: the runtime's tests.)
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "support/pty_session.h"

namespace qv {
namespace {

// What each command line writes, where, and its exit status: the version, the rows of --csv
// with the option anywhere, the dialogue with no terminal to hold it, and every problem with
// the command line as one line on standard error. An output that fails (a full disk, standard
// output closed before the start) is run-time error 101, reported on standard error, and at
// once: not after formatting two thousand million rows into nothing.
TEST(Command, EachCommandLineWritesItsTextsAndEndsWithItsStatus) {
  const auto problem = [](const std::string& line) {
    return "quorvendalist: " + line + "\nTry 'quorvendalist --help' for more information.\n";
  };
  const std::string badN = "': a 32-bit integer, with '$' for hexadecimal or '%' for binary";
  const std::string failed = "Runtime error 101 at 0x";  // then the address and the frames
  const struct {
    std::vector<std::string> arguments;
    int exitCode;
    std::string out, err;
    std::string output = "";  // where standard output goes: a file, or "-" for closed
  } cases[] = {
      {{"--version"}, 0, "quorvendalist " QV_PROJECT_VERSION "\n", ""},
      {{"-V"}, 0, "quorvendalist " QV_PROJECT_VERSION "\n", ""},
      {{"--csv", "a", "2"}, 0, "i,value\n1,2.000000000000000\n2,1.500000000000000\n", ""},
      {{"c", "3", "--csv"}, 0, "i,value\n2,1.000000000000000\n3,2.000000000000000\n", ""},
      {{"--csv", "c", "1"}, 0, "i,value\n", ""},
      {{}, 1, "", "No way to get the console handle\n"},
      {{"b", "100000"}, 101, "", failed, "/dev/full"},
      {{"--csv", "a", "2000000000"}, 101, "", failed, "/dev/full"},
      {{"--svg", "abc", "60"}, 101, "", failed, "/dev/full"},
      {{"a", "5"}, 101, "", failed, "-"},
      {{"--version"}, 101, "", failed, "-"},
      {{"--bogus"}, 2, "", problem("unrecognized option '--bogus'")},
      {{"-x"}, 2, "", problem("invalid option -- 'x'")},
      {{"--csv=yes", "a", "1"}, 2, "", problem("option '--csv' doesn't allow an argument")},
      {{"--csv"}, 2, "", problem("missing METHOD and N")},
      {{"a"}, 2, "", problem("missing N after 'a'")},
      {{"d", "5"}, 2, "", problem("invalid METHOD 'd': choose a, b or c")},
      {{"a", "1e3"}, 2, "", problem("invalid N '1e3" + badN)},
      {{"c", "7", "8"}, 2, "", problem("extra operand '8'")},
      {{"--svg", "abd", "60"}, 2, "", problem("invalid METHOD 'abd': choose a, b or c")},
      // An argument is shown quoted: what it holds cannot retitle or clear the terminal, nor
      // split the line.
      {{"\x1b]0;owned\a\x1b[2J", "5"},
       2,
       "",
       problem("invalid METHOD '\\e]0;owned\\a\\e[2J': choose a, b or c")},
      {{"-\n"}, 2, "", problem("invalid option -- '\\n'")},
      {{"a", "5 volte"}, 2, "", problem("invalid N '5 volte" + badN)},
      {{"--\x7f\t'\\\xc3\xa8"},
       2,
       "",
       problem("unrecognized option '--\\177\\t\\'\\\\\\303\\250'")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.arguments) + " > " + c.output);
    const auto closeOutput = [] { close(STDOUT_FILENO); };
    const DetachedRun run =
        c.output == "-" ? runWithoutTerminal(programPath(), 10.0, c.arguments, "", closeOutput)
                        : runWithoutTerminal(programPath(), 10.0, c.arguments, c.output);
    EXPECT_EQ(run.exitCode, c.exitCode);
    EXPECT_EQ(run.stdoutText, c.out);
    EXPECT_EQ(run.stderrText.substr(0, c.err == failed ? failed.size() : std::string::npos), c.err);
  }
  const DetachedRun help = runWithoutTerminal(programPath(), 10.0, {"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_TRUE(
      help.stdoutText.starts_with("Usage: quorvendalist\n  or:  quorvendalist [--csv] METHOD N\n"))
      << help.stdoutText;
  EXPECT_EQ(runWithoutTerminal(programPath(), 10.0, {"-h"}).stdoutText, help.stdoutText);
  // The status tells a script what went wrong even when the message has nowhere to go.
  EXPECT_EQ(runWithoutTerminal(programPath(), 10.0, {"x", "5"}, "",
                               [] { dup2(open("/dev/full", O_WRONLY), STDERR_FILENO); })
                .exitCode,
            2);
}

// Like `yes | head -1`: the reader takes one line and goes away, and the run ends at once by
// SIGPIPE, without a word, also when the parent left SIGPIPE blocked. A parent that ignores
// SIGPIPE hears of it as an error instead, once.
TEST(Command, AReaderThatGoesAwayEndsTheRun) {
  const std::string pipeline = "\"$@\" a 2147483647 | head -n 1; echo \"${PIPESTATUS[0]}\"";
  const auto shell = [](const std::string& script) {
    std::vector<std::string> arguments = {"-c", script, "bash"};
    for (const std::string& word : targetCommand(programPath())) arguments.push_back(word);
    return arguments;
  };
  const auto blockPipeSignal = [] {
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    sigprocmask(SIG_BLOCK, &pipeSignal, nullptr);
  };
  for (const auto& inChild : {std::function<void()>{}, std::function<void()>{blockPipeSignal}}) {
    const DetachedRun quiet = runWithoutTerminal("/bin/bash", 10.0, shell(pipeline), "", inChild);
    EXPECT_EQ(quiet.stdoutText, "2.000000000000000\n141\n");
    EXPECT_EQ(quiet.stderrText, "");
  }

  const DetachedRun told =
      runWithoutTerminal("/bin/bash", 10.0, shell("trap '' PIPE; " + pipeline));
  EXPECT_EQ(told.stdoutText, "2.000000000000000\n101\n");
  EXPECT_TRUE(told.stderrText.starts_with("Runtime error 101 at 0x")) << told.stderrText;
  EXPECT_EQ(told.stderrText.find("Runtime error", 1), std::string::npos) << told.stderrText;
}

}  // namespace
}  // namespace qv
