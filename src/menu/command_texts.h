// The texts of the program as a command: the usage, the version line and the problem reports.
#pragma once

#include <string_view>

#include "menu/command_line.h"

namespace qv::commandText {

inline constexpr std::string_view programName = "quorvendalist";
inline constexpr std::string_view tryHelp = "Try 'quorvendalist --help' for more information.";

inline constexpr std::string_view usage[] = {
    "Usage: quorvendalist [--csv] [METHOD N]",
    "Approximate the golden ratio phi three ways.",
    "",
    "Without arguments quorvendalist runs its dialogue (in Italian) in the terminal:",
    "choose a method by its letter, type n, and read every approximation with",
    "15 decimals; type 'esci' at the question after each run to leave.",
    "",
    "With METHOD and N it writes the lines that method shows for n to standard",
    "output instead, and ends.",
    "",
    "Methods:",
    "  a  the continued fraction: x := 1/x + 1, from 1",
    "  b  the nested radicals: x := sqrt(x + 1), from 0",
    "  c  the Fibonacci sequence (signed 32-bit, wrapping) and its ratios",
    "",
    "N is a 32-bit integer: an optional sign, then decimal digits, or '$' and",
    "hexadecimal digits, or '%' and binary digits (5, -3, $1F, %101).",
    "",
    "Options:",
    "      --csv      write 'i,value' rows instead of the method's lines",
    "  -h, --help     display this help and exit",
    "  -V, --version  output version information and exit",
    "",
    "Exit status:",
    "  0    success, or 'esci' in the dialogue",
    "  1    no terminal to run the dialogue on",
    "  2    a problem with the command line",
    "  106  the dialogue read no valid number for n",
    "  other values: a run-time error or a signal; see quorvendalist(1)",
};

// The line naming a problem, in three parts: before the subject, the subject, after it.
struct ProblemText {
  std::string_view before;
  std::string_view after;
};

constexpr ProblemText problemText(CommandProblem problem) {
  switch (problem) {
    case CommandProblem::unrecognizedOption:
      return {"unrecognized option '", "'"};
    case CommandProblem::invalidOption:
      return {"invalid option -- '", "'"};
    case CommandProblem::unexpectedArgument:
      return {"option '--", "' doesn't allow an argument"};
    case CommandProblem::missingOperands:
      return {"missing METHOD and N", ""};
    case CommandProblem::missingNumber:
      return {"missing N after '", "'"};
    case CommandProblem::invalidMethod:
      return {"invalid METHOD '", "': choose a, b or c"};
    case CommandProblem::invalidNumber:
      return {"invalid N '", "': a 32-bit integer, with '$' for hexadecimal or '%' for binary"};
    case CommandProblem::extraOperand:
      return {"extra operand '", "'"};
    case CommandProblem::none:
      break;
  }
  return {"", ""};
}

}  // namespace qv::commandText
