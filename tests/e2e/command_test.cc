// The program as a command, with no terminal at all: the usage and the version, every problem
// with the command line, a method's lines and rows on standard output, and how a run ends when
// its output cannot go anywhere.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "runtime/report_frames.h"
#include "support/pty_session.h"

namespace qv {
namespace {

const std::string tryHelp = "Try 'quorvendalist --help' for more information.\n";

DetachedRun runCommand(const std::vector<std::string>& arguments) {
  return runWithoutTerminal(programPath(), 10.0, arguments);
}

TEST(Command, HelpAndVersionGoToStandardOutput) {
  const DetachedRun help = runCommand({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_EQ(help.stderrText, "");
  EXPECT_TRUE(
      help.stdoutText.starts_with("Usage: quorvendalist\n  or:  quorvendalist [--csv] METHOD N\n"))
      << help.stdoutText;
  for (const char* mentioned :
       {"--csv", "--help", "--version", "Exit status:", "esci", "Report problems to"}) {
    EXPECT_NE(help.stdoutText.find(mentioned), std::string::npos) << mentioned;
  }
  EXPECT_EQ(runCommand({"-h"}).stdoutText, help.stdoutText);

  // The version is the project's, the one the manual page and the package carry.
  for (const char* option : {"--version", "-V"}) {
    const DetachedRun version = runCommand({option});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.stdoutText, "quorvendalist " QV_PROJECT_VERSION "\n");
    EXPECT_EQ(version.stderrText, "");
  }
}

TEST(Command, EveryProblemIsOneLineOnStandardErrorAndExitCode2) {
  struct Case {
    std::vector<std::string> arguments;
    std::string line;
  };
  const Case cases[] = {
      {{"--bogus"}, "quorvendalist: unrecognized option '--bogus'"},
      {{"-x"}, "quorvendalist: invalid option -- 'x'"},
      {{"--csv=yes", "a", "1"}, "quorvendalist: option '--csv' doesn't allow an argument"},
      {{"--csv"}, "quorvendalist: missing METHOD and N"},
      {{"a"}, "quorvendalist: missing N after 'a'"},
      {{"d", "5"}, "quorvendalist: invalid METHOD 'd': choose a, b or c"},
      {{"a", "1e3"},
       "quorvendalist: invalid N '1e3': a 32-bit integer, with '$' for hexadecimal or '%' for "
       "binary"},
      {{"c", "7", "8"}, "quorvendalist: extra operand '8'"},
      {{"--svg", "abd", "60"}, "quorvendalist: invalid METHOD 'abd': choose a, b or c"},
      // An argument is shown quoted: what it holds cannot retitle or clear the terminal, nor
      // split the line.
      {{"\x1b]0;owned\a\x1b[2J", "5"},
       "quorvendalist: invalid METHOD '\\e]0;owned\\a\\e[2J': choose a, b or c"},
      {{"-\n"}, "quorvendalist: invalid option -- '\\n'"},
      {{"a", "5 volte"},
       "quorvendalist: invalid N '5 volte': a 32-bit integer, with '$' for hexadecimal or '%' "
       "for binary"},
      {{"--\x7f\t'\\\xc3\xa8"}, "quorvendalist: unrecognized option '--\\177\\t\\'\\\\\\303\\250'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const DetachedRun run = runCommand(c.arguments);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.stdoutText, "");
    EXPECT_EQ(run.stderrText, c.line + "\n" + tryHelp);
  }
  // The status tells a script what went wrong even when the message has nowhere to go.
  EXPECT_EQ(runWithoutTerminal(programPath(), 10.0, {"x", "5"}, "",
                               [] { dup2(open("/dev/full", O_WRONLY), STDERR_FILENO); })
                .exitCode,
            2);
}

// The rows of --csv, with the option anywhere. (A method's lines without it are the dialogue's:
// tests/e2e/scripted_output_test.cc.)
TEST(Command, CsvWritesARowForEachValue) {
  struct Case {
    std::vector<std::string> arguments;
    std::string output;
  };
  const Case cases[] = {
      {{"--csv", "a", "2"}, "i,value\n1,2.000000000000000\n2,1.500000000000000\n"},
      {{"c", "3", "--csv"}, "i,value\n2,1.000000000000000\n3,2.000000000000000\n"},
      {{"--csv", "c", "1"}, "i,value\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.arguments));
    const DetachedRun run = runCommand(c.arguments);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.stderrText, "");
    EXPECT_EQ(run.stdoutText, c.output);
  }
  // Past the 46th element the sums wrap and the ratios turn negative; still one row each.
  const std::string wrapped = runCommand({"--csv", "c", "60"}).stdoutText;
  EXPECT_NE(wrapped.find("\n46,1.618033988749895\n47,-0.720875479180510\n"), std::string::npos);
  EXPECT_TRUE(wrapped.ends_with("\n60,-1.724507135118218\n")) << wrapped;
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
  // The rows of c, whose header comes at once, with no listing of elements to format first.
  const DetachedRun rows = runWithoutTerminal(
      "/bin/bash", 10.0, shell("\"$@\" --csv c 2147483647 | head -n 1; echo \"${PIPESTATUS[0]}\""));
  EXPECT_EQ(rows.stdoutText, "i,value\n141\n");

  const DetachedRun told =
      runWithoutTerminal("/bin/bash", 10.0, shell("trap '' PIPE; " + pipeline));
  EXPECT_EQ(told.stdoutText, "2.000000000000000\n101\n");
  EXPECT_TRUE(told.stderrText.starts_with("Runtime error 101 at 0x")) << told.stderrText;
  EXPECT_EQ(told.stderrText.find("Runtime error", 1), std::string::npos) << told.stderrText;
}

// A failed write of an iterate is reported at the method's own statement: the first frame lies
// in the method, the next in the command that called it, with no helper between them.
TEST(Command, AFailedIterateIsReportedInTheMethodThatWroteIt) {
  const DetachedRun run = runWithoutTerminal(programPath(), 10.0, {"a", "100000"}, "/dev/full");
  ASSERT_EQ(run.exitCode, 101);
  const std::vector<CodePlace> frames =
      placesOf(programPath(), frameAddresses(run.stderrText), true);
  ASSERT_GE(frames.size(), 2u) << run.stderrText;
  EXPECT_EQ(frames[0].function, "qv::approximateByContinuedFraction(int)") << run.stderrText;
  EXPECT_TRUE(frames[1].line.starts_with("command.cc:")) << frames[1].function;
}

// A full disk, or standard output closed before the start, is an output that failed: run-time
// error 101, reported on standard error since standard output is where the failure is.
TEST(Command, OutputThatCannotBeWrittenIsRunTimeError101OnStandardError) {
  const auto closeOutput = [] { close(STDOUT_FILENO); };
  const DetachedRun runs[] = {
      runWithoutTerminal(programPath(), 10.0, {"b", "100000"}, "/dev/full"),
      runWithoutTerminal(programPath(), 10.0, {"a", "5"}, "", closeOutput),
      runWithoutTerminal(programPath(), 10.0, {"--version"}, "", closeOutput),
      runWithoutTerminal(programPath(), 10.0, {"--svg", "abc", "60"}, "/dev/full"),
      // At once, not after formatting two thousand million rows into nothing.
      runWithoutTerminal(programPath(), 10.0, {"--csv", "a", "2000000000"}, "/dev/full"),
  };
  for (const DetachedRun& run : runs) {
    EXPECT_EQ(run.exitCode, 101);
    const std::string prefix = "Runtime error 101 at 0x";
    ASSERT_TRUE(run.stderrText.starts_with(prefix)) << run.stderrText;
    const std::string address = run.stderrText.substr(prefix.size(), 8);
    EXPECT_EQ(run.stderrText.substr(prefix.size() + 8, 14), "\n  0x" + address + "\n")
        << run.stderrText;
    EXPECT_TRUE(run.stderrText.ends_with("\n\n")) << run.stderrText;
  }
}

}  // namespace
}  // namespace qv
