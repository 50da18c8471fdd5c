// The texts of the program as a command: the usage, the version line and the problem reports.
#pragma once

#include <string_view>

#include "menu/command_line.h"

namespace qv::commandText {

inline constexpr std::string_view programName = "quorvendalist";
inline constexpr std::string_view tryHelp = "Try 'quorvendalist --help' for more information.";

// Windows has its own console, exit codes and documentation beside the program.
inline constexpr std::string_view usage[] = {
    "Usage: quorvendalist",
    "  or:  quorvendalist [--csv] METHOD N",
    "  or:  quorvendalist --svg|--plot METHODS N",
    "Approximate the golden ratio phi three ways.",
    "",
#ifdef _WIN32
    "Without arguments quorvendalist runs its dialogue (in Italian) in the console:",
#else
    "Without arguments quorvendalist runs its dialogue (in Italian) in the terminal:",
#endif
    "choose a method by its letter, type n, and read every approximation with",
    "15 decimals; type 'esci' at the question after each run to leave.",
    "",
    "With METHOD and N it writes the lines that method shows for n to standard",
    "output instead, and ends. With --svg or --plot it draws how close every step",
    "of each of the METHODS (one or more letters: a, ab, abc) comes to phi.",
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
    "      --svg      write the picture as an SVG document",
    "      --plot     draw the picture in the terminal",
    "  -h, --help     display this help and exit",
    "  -V, --version  output version information and exit",
    "",
    "Exit status:",
    "  0    success, or 'esci' in the dialogue",
#ifdef _WIN32
    "  1    no console to run the dialogue in",
#else
    "  1    no terminal to run the dialogue on",
#endif
    "  2    a problem with the command line",
    "  101  the output could not be written",
    "  106  the dialogue read no valid number for n",
#ifdef _WIN32
    "  232  the program reading the output went away",
    "  0xC000013A  ended by Ctrl-C, Ctrl-Break or closing the console window",
    "  other values: a run-time error; see quorvendalist.txt beside the program",
#else
    "  other values: a run-time error or a signal; see quorvendalist(1)",
#endif
    "",
    "Report problems to <quorvendalist@example.org>.",
};

// The line naming a problem, in three parts: before the subject, the subject (quoted by
// quotedSubject when quoted is set), after it.
struct ProblemText {
  std::string_view before;
  bool quoted;
  std::string_view after;
};

constexpr ProblemText problemText(CommandProblem problem) {
  switch (problem) {
    case CommandProblem::unrecognizedOption:
      return {"unrecognized option ", true, ""};
    case CommandProblem::invalidOption:
      return {"invalid option -- ", true, ""};
    case CommandProblem::unexpectedArgument:
      return {"option '--", false, "' doesn't allow an argument"};
    case CommandProblem::missingOperands:
      return {"missing METHOD and N", false, ""};
    case CommandProblem::missingNumber:
      return {"missing N after ", true, ""};
    case CommandProblem::invalidMethod:
      return {"invalid METHOD ", true, ": choose a, b or c"};
    case CommandProblem::invalidNumber:
      return {"invalid N ", true, ": a 32-bit integer, with '$' for hexadecimal or '%' for binary"};
    case CommandProblem::extraOperand:
      return {"extra operand ", true, ""};
    case CommandProblem::none:
      break;
  }
  return {"", false, ""};
}

// An argument as a problem report shows it: between single quotes, with every byte that is not
// printable ASCII, and the quote and the backslash themselves, as a backslash escape (\n, \e,
// \t, ... or three octal digits), so that whatever was typed the report stays one line of text
// that a terminal only shows. Each piece of the quoted text goes to write(piece).
template <typename Write>
void quotedSubject(std::string_view subject, Write write) {
  constexpr std::string_view escaped = "\a\b\t\n\v\f\r\x1b'\\";
  constexpr std::string_view escapeLetters = "abtnvfre'\\";
  write(std::string_view("'"));
  for (const char& c : subject) {
    const auto byte = static_cast<unsigned char>(c);
    const std::size_t named = escaped.find(c);
    if (named != std::string_view::npos) {
      const char escape[2] = {'\\', escapeLetters[named]};
      write(std::string_view(escape, 2));
    } else if (byte >= 0x20 && byte < 0x7F) {
      write(std::string_view(&c, 1));
    } else {
      const char octal[4] = {'\\', char('0' + (byte >> 6)), char('0' + ((byte >> 3) & 7)),
                             char('0' + (byte & 7))};
      write(std::string_view(octal, 4));
    }
  }
  write(std::string_view("'"));
}

}  // namespace qv::commandText
