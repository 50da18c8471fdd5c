// A small dialogue on the console, for tests that drive the terminal in a pseudo-terminal:
// it prompts "eco> " and reads a line with the console's own channels, then
//   fine       ends normally (exit code 0)
//   errore     ends with run-time error 106 (its report goes to standard output)
//   righe N    writes N numbered lines "riga 1" ... "riga N" as fast as it can
//   anything else is written back as "letto: [<text>]".
#include <charconv>
#include <string_view>

#include "console/console_state.h"
#include "console/terminal/terminal_console.h"
#include "textio/run_error.h"
#include "textio/startup.h"
#include "textio/text_channel.h"
#include "textio/text_input.h"

namespace {

constexpr std::uint8_t white = 15;

void writeLine(std::string_view text) {
  qv::writeString(0, qv::standardOutput, text);
  qv::writeLineEnd(qv::standardOutput);
  qv::checkIo();
}

void writeNumberedLines(std::string_view count) {
  int lines = 0;
  std::from_chars(count.data(), count.data() + count.size(), lines);
  for (int i = 1; i <= lines; ++i) {
    qv::writeString(0, qv::standardOutput, "riga ");
    qv::writeInteger(0, qv::standardOutput, i);
    qv::writeLineEnd(qv::standardOutput);
    qv::checkIo();
  }
}

[[noreturn]] void echoDialogue() {
  qv::String255 line;
  for (;;) {
    qv::setTextColor(white);
    qv::writeString(0, qv::standardOutput, "eco> ");
    qv::flushAfterWrite(qv::standardOutput);
    qv::checkIo();
    qv::readShortString(qv::standardInput, line, line.capacity);
    qv::readLineEnd(qv::standardInput);
    qv::checkIo();
    const std::string_view text = line.view();
    if (text == "fine") qv::haltProgram(0);
    if (text == "errore") qv::runError(106);
    if (text.starts_with("righe ")) {
      writeNumberedLines(text.substr(6));
    } else {
      qv::writeString(0, qv::standardOutput, "letto: [");
      qv::writeString(0, qv::standardOutput, text);
      writeLine("]");
    }
  }
}

}  // namespace

int main() {
  qv::useTerminalConsole();
  qv::startProgram(qv::initConsole, echoDialogue);
}
