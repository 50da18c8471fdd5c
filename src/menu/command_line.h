// What the command line asks for. Without arguments the program is the dialogue; otherwise it
// answers on the standard streams as a command and ends. The rules are the usual ones of GNU
// programs: options anywhere before "--", long options by any unambiguous prefix and short
// ones bundled, the first --help or --version wins; an argument that looks like a negative
// number ("-5", "-$10") is N, not an option.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace qv {

enum class CommandAction {
  dialogue,    // no arguments: the interactive program
  help,        // -h, --help
  version,     // -V, --version
  runMethod,   // METHOD N: the method's lines (or rows) on standard output
  usageError,  // anything else: one line naming the problem on standard error, exit code 2
};

enum class CommandProblem {
  none,
  unrecognizedOption,  // --name that names no option
  invalidOption,       // -x that is no short option
  unexpectedArgument,  // --csv=... and the like
  missingOperands,     // --csv alone
  missingNumber,       // METHOD without N
  invalidMethod,       // METHOD other than a, b or c
  invalidNumber,       // N that is no integer in the program's syntax
  extraOperand,        // anything after N
};

// The convergence picture instead of the lines: an SVG document, or a chart in the terminal.
enum class PictureForm { none, svg, plot };

struct CommandRequest {
  CommandAction action = CommandAction::dialogue;
  char method = 0;  // 'a', 'b' or 'c'
  std::int32_t n = 0;
  bool csv = false;
  PictureForm picture = PictureForm::none;
  std::string_view methods;  // a picture's METHODS: one or more of the letters a, b, c
  CommandProblem problem = CommandProblem::none;
  // What the problem is about: the whole argument, the option's full name ("csv"), or the
  // letter of a short option. It points into the arguments, which live as long as the process.
  std::string_view subject;
};

// The arguments without the program's name.
CommandRequest parseCommandLine(std::span<const std::string_view> arguments);

}  // namespace qv
