// What each command line asks for. The reports of the problems, with their exit code and
// stream, are checked on the real program (tests/e2e/command_test.cc); here is which problem
// each line has, and what a line without one runs. (N's forms and range: parseInteger's test.)
#include "menu/command_line.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

namespace qv {
namespace {

using Action = CommandAction;
using Problem = CommandProblem;

TEST(CommandLine, MethodRunsTakeNInTheDialoguesSyntaxAndOptionsAnywhere) {
  struct Case {
    std::vector<std::string_view> arguments;
    char method;
    std::int32_t n;
    bool csv;
  };
  const Case cases[] = {
      {{"a", "5"}, 'a', 5, false},
      {{"--csv", "c", "47"}, 'c', 47, true},
      {{"b", "10", "--csv"}, 'b', 10, true},
      {{"b", "--cs", "10"}, 'b', 10, true},  // any prefix of a long option
      {{"a", "-5"}, 'a', -5, false},         // a negative number is no option
      {{"a", "-$10"}, 'a', -16, false},
      {{"b", "-%101"}, 'b', -5, false},
      {{"a", "-2147483648"}, 'a', -2147483647 - 1, false},
      {{"--", "a", "3"}, 'a', 3, false},
  };
  for (const Case& c : cases) {
    const CommandRequest request = parseCommandLine(c.arguments);
    SCOPED_TRACE(c.arguments[0]);
    EXPECT_EQ(request.action, Action::runMethod);
    EXPECT_EQ(request.method, c.method);
    EXPECT_EQ(request.n, c.n);
    EXPECT_EQ(request.csv, c.csv);
  }
}

// A picture draws one or more methods, each letter once; of --csv, --svg and --plot the last
// one given counts.
TEST(CommandLine, PicturesTakeSeveralMethodsAndTheLastOutputFormCounts) {
  struct Case {
    std::vector<std::string_view> arguments;
    PictureForm picture;
    std::string_view methods;
    bool csv;
  };
  const Case cases[] = {
      {{"--svg", "abc", "60"}, PictureForm::svg, "abc", false},
      {{"cb", "--pl", "-$10"}, PictureForm::plot, "cb", false},
      {{"--csv", "--svg", "a", "1"}, PictureForm::svg, "a", false},
      {{"--plot", "--csv", "a", "1"}, PictureForm::none, "a", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.arguments));
    const CommandRequest request = parseCommandLine(c.arguments);
    EXPECT_EQ(request.action, Action::runMethod);
    EXPECT_EQ(request.picture, c.picture);
    EXPECT_EQ(request.methods, c.methods);
    EXPECT_EQ(request.csv, c.csv);
  }
}

// Options are read first, left to right: the first of --help, --version and a bad option
// decides, even after operands that are wrong; the operands are judged only then.
TEST(CommandLine, TheFirstOptionThatDecidesWinsAndOperandsAreJudgedLast) {
  struct Case {
    std::vector<std::string_view> arguments;
    Action action;
    Problem problem;
    std::string_view subject;
  };
  const Case cases[] = {
      {{}, Action::dialogue, Problem::none, ""},
      {{"--"}, Action::dialogue, Problem::none, ""},
      {{"-h"}, Action::help, Problem::none, ""},
      {{"d", "--he", "--bogus"}, Action::help, Problem::none, ""},
      {{"-Vh"}, Action::version, Problem::none, ""},
      {{"a", "x", "--version"}, Action::version, Problem::none, ""},
      {{"-hx"}, Action::help, Problem::none, ""},
      {{"-xh"}, Action::usageError, Problem::invalidOption, "x"},
      {{"--bogus", "--help"}, Action::usageError, Problem::unrecognizedOption, "--bogus"},
      {{"--", "--help"}, Action::usageError, Problem::invalidMethod, "--help"},
      {{"--=x"}, Action::usageError, Problem::unrecognizedOption, "--=x"},
      {{"--c=1", "a", "1"}, Action::usageError, Problem::unexpectedArgument, "csv"},
      {{"-", "1"}, Action::usageError, Problem::invalidMethod, "-"},
      {{"A", "1"}, Action::usageError, Problem::invalidMethod, "A"},
      {{"ab", "1"}, Action::usageError, Problem::invalidMethod, "ab"},
      {{"a", " 5"}, Action::usageError, Problem::invalidNumber, " 5"},
      {{"a", "x", "y"}, Action::usageError, Problem::invalidNumber, "x"},
      {{"--svg"}, Action::usageError, Problem::missingOperands, ""},
      {{"--plot", "abd", "5"}, Action::usageError, Problem::invalidMethod, "abd"},
      {{"--svg", "aa", "5"}, Action::usageError, Problem::invalidMethod, "aa"},
      {{"--svg", "", "5"}, Action::usageError, Problem::invalidMethod, ""},
      {{"--svg", "ab", "x"}, Action::usageError, Problem::invalidNumber, "x"},
      {{"--svg=1", "a", "5"}, Action::usageError, Problem::unexpectedArgument, "svg"},
  };
  for (const Case& c : cases) {
    const CommandRequest request = parseCommandLine(c.arguments);
    SCOPED_TRACE(testing::PrintToString(c.arguments));
    EXPECT_EQ(request.action, c.action);
    EXPECT_EQ(request.problem, c.problem);
    EXPECT_EQ(request.subject, c.subject);
  }
}

}  // namespace
}  // namespace qv
