#include "menu/command_line.h"

#include "channels/text_input.h"
#include "menu/method_table.h"

namespace qv {

namespace {

enum class OptionKind { help, version, csv, svg, plot };

struct LongOption {
  std::string_view name;
  OptionKind kind;
};

constexpr LongOption longOptions[] = {
    {"help", OptionKind::help}, {"version", OptionKind::version}, {"csv", OptionKind::csv},
    {"svg", OptionKind::svg},   {"plot", OptionKind::plot},
};

CommandRequest problem(CommandProblem what, std::string_view subject) {
  CommandRequest request;
  request.action = CommandAction::usageError;
  request.problem = what;
  request.subject = subject;
  return request;
}

// "-5", "-$1F", "-%101": N, even though it begins with a minus sign.
bool looksLikeNegativeNumber(std::string_view argument) {
  if (argument.size() < 2 || argument[0] != '-') return false;
  const char second = argument[1];
  return (second >= '0' && second <= '9') || second == '$' || second == '%';
}

// The options of the command line as one pass over it: the operands are gathered for later,
// and the first --help or --version ends the pass, as does the first bad option.
class OptionPass {
 public:
  explicit OptionPass(CommandRequest& request) : request_(request) {}

  // False when the pass has an answer already (help, version or a problem).
  bool take(std::string_view argument);
  bool optionsEnded() const { return optionsEnded_; }

  std::string_view operands[3];  // METHOD, N, and the first one too many
  int operandCount = 0;

 private:
  bool takeLong(std::string_view argument);
  bool takeShort(std::string_view argument);
  bool apply(OptionKind kind);
  void addOperand(std::string_view argument) {
    if (operandCount < 3) operands[operandCount++] = argument;
  }

  CommandRequest& request_;
  bool optionsEnded_ = false;
};

bool OptionPass::take(std::string_view argument) {
  if (optionsEnded_ || argument == "-" || !argument.starts_with('-') ||
      looksLikeNegativeNumber(argument)) {
    addOperand(argument);
    return true;
  }
  if (argument == "--") {
    optionsEnded_ = true;
    return true;
  }
  return argument.starts_with("--") ? takeLong(argument) : takeShort(argument);
}

bool OptionPass::takeLong(std::string_view argument) {
  std::string_view name = argument.substr(2);
  const std::size_t equals = name.find('=');
  const bool hasValue = equals != std::string_view::npos;
  if (hasValue) name = name.substr(0, equals);
  // Any unambiguous prefix names an option; the names begin with different letters.
  for (const LongOption& option : longOptions) {
    if (name.empty() || !option.name.starts_with(name)) continue;
    if (hasValue) {
      request_ = problem(CommandProblem::unexpectedArgument, option.name);
      return false;
    }
    return apply(option.kind);
  }
  request_ = problem(CommandProblem::unrecognizedOption, argument);
  return false;
}

bool OptionPass::takeShort(std::string_view argument) {
  for (std::size_t i = 1; i < argument.size(); ++i) {
    const char letter = argument[i];
    if (letter == 'h' && !apply(OptionKind::help)) return false;
    if (letter == 'V' && !apply(OptionKind::version)) return false;
    if (letter != 'h' && letter != 'V') {
      request_ = problem(CommandProblem::invalidOption, argument.substr(i, 1));
      return false;
    }
  }
  return true;
}

bool OptionPass::apply(OptionKind kind) {
  switch (kind) {
    case OptionKind::help:
      request_.action = CommandAction::help;
      return false;
    case OptionKind::version:
      request_.action = CommandAction::version;
      return false;
    // The last of the output forms counts.
    case OptionKind::csv:
      request_.csv = true;
      request_.picture = PictureForm::none;
      return true;
    case OptionKind::svg:
    case OptionKind::plot:
      request_.csv = false;
      request_.picture = kind == OptionKind::svg ? PictureForm::svg : PictureForm::plot;
      return true;
  }
  return true;
}

// One letter of the method table; a picture may draw several (each once: "aa" is a slip).
bool validMethods(std::string_view letters, bool several) {
  if (letters.empty() || (!several && letters.size() != 1)) return false;
  for (std::size_t i = 0; i < letters.size(); ++i) {
    if (findMethod(std::uint8_t(letters[i])) == nullptr) return false;
    if (letters.substr(0, i).find(letters[i]) != std::string_view::npos) return false;
  }
  return true;
}

// METHOD and N, once the options have been taken.
void readOperands(const OptionPass& pass, CommandRequest& request) {
  if (pass.operandCount == 0) {
    if (request.csv || request.picture != PictureForm::none)
      request = problem(CommandProblem::missingOperands, {});
    return;
  }
  const std::string_view method = pass.operands[0];
  if (!validMethods(method, request.picture != PictureForm::none)) {
    request = problem(CommandProblem::invalidMethod, method);
    return;
  }
  if (pass.operandCount == 1) {
    request = problem(CommandProblem::missingNumber, method);
    return;
  }
  // The same syntax as the dialogue's prompt for n: sign, "$" or "%", digits, 32 bits.
  const ParsedInteger n = parseInteger(pass.operands[1]);
  if (n.errorPosition != 0) {
    request = problem(CommandProblem::invalidNumber, pass.operands[1]);
    return;
  }
  if (pass.operandCount > 2) {
    request = problem(CommandProblem::extraOperand, pass.operands[2]);
    return;
  }
  request.action = CommandAction::runMethod;
  request.method = method[0];
  request.methods = method;
  request.n = n.value;
}

}  // namespace

CommandRequest parseCommandLine(std::span<const std::string_view> arguments) {
  CommandRequest request;
  OptionPass pass(request);
  for (std::string_view argument : arguments) {
    if (!pass.take(argument)) return request;
  }
  readOperands(pass, request);
  return request;
}

}  // namespace qv
