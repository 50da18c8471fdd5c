// What each command line asks for. The reports of the problems, with their exit code and
// stream, are checked on the real program (tests/e2e/command_test.cc); here is which problem
// each line has, and what a line without one runs.
#include "menu/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace qv {
namespace {

// "run" and the method, N and "csv"; a picture's form, methods and N; or the problem and its
// subject.
std::string requestText(const CommandRequest& r) {
  const char* const actions[] = {"dialogue", "help", "version", "run", "usage"};
  const char* const problems[] = {"",
                                  "unrecognized option",
                                  "invalid option",
                                  "unexpected argument",
                                  "missing operands",
                                  "missing number",
                                  "invalid method",
                                  "invalid number",
                                  "extra operand"};
  const std::string n = " " + std::to_string(r.n) + (r.csv ? " csv" : "");
  switch (r.action) {
    case CommandAction::runMethod:
      if (r.picture == PictureForm::none) return "run " + std::string(1, r.method) + n;
      return (r.picture == PictureForm::svg ? "svg " : "plot ") + std::string(r.methods) + n;
    case CommandAction::usageError:
      return problems[int(r.problem)] + (": " + std::string(r.subject));
    default:
      return actions[int(r.action)];
  }
}

// Options anywhere and any prefix of a long one; N in the dialogue's syntax, and a negative N is
// no option. A picture draws one or more methods, each letter once; of --csv, --svg and --plot
// the last one given counts. The first of --help, --version and a bad option decides, even
// after operands that are wrong; the operands are judged only then.
TEST(CommandLine, EachLineAsksForOneThing) {
  struct Case {
    std::vector<std::string_view> arguments;
    const char* request;
  };
  const Case cases[] = {
      {{"a", "5"}, "run a 5"},
      {{"--csv", "c", "47"}, "run c 47 csv"},
      {{"b", "--cs", "10"}, "run b 10 csv"},
      {{"a", "-5"}, "run a -5"},
      {{"a", "-$10"}, "run a -16"},
      {{"b", "-%101"}, "run b -5"},
      {{"c", "+007"}, "run c 7"},
      {{"a", "$FFFFFFFF"}, "run a -1"},
      {{"a", "-2147483648"}, "run a -2147483648"},
      {{"--", "a", "3"}, "run a 3"},
      {{"--svg", "abc", "60"}, "svg abc 60"},
      {{"cb", "--pl", "-$10"}, "plot cb -16"},
      {{"--csv", "--svg", "a", "1"}, "svg a 1"},
      {{"--plot", "--csv", "a", "1"}, "run a 1 csv"},
      {{}, "dialogue"},
      {{"-h"}, "help"},
      {{"d", "--he", "--bogus"}, "help"},
      {{"-Vh"}, "version"},
      {{"-xh"}, "invalid option: x"},
      {{"--bogus", "--help"}, "unrecognized option: --bogus"},
      {{"--", "--help"}, "invalid method: --help"},
      {{"--c=1", "a", "1"}, "unexpected argument: csv"},
      {{"-", "1"}, "invalid method: -"},
      {{"a", " 5"}, "invalid number:  5"},
      {{"a", "2147483648"}, "invalid number: 2147483648"},
      {{"a", "x", "y"}, "invalid number: x"},
      {{"--svg"}, "missing operands: "},
      {{"--plot", "abd", "5"}, "invalid method: abd"},
      {{"--svg", "", "5"}, "invalid method: "},
      {{"--svg=1", "a", "5"}, "unexpected argument: svg"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(requestText(parseCommandLine(c.arguments)), c.request)
        << testing::PrintToString(c.arguments);
  }
}

}  // namespace
}  // namespace qv
