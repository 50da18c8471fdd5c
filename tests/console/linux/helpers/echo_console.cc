// A small dialogue on the console, for tests that drive the terminal in a pseudo-terminal: it
// prompts "eco> " and reads a line with the console's own channels; "fine" ends it normally,
// "memoria" fails as an allocation that finds no memory does (nothing catches it: abort()),
// "flusso N" writes the rows "riga 1" to "riga N" as fast as it can, anything else is written
// back as "letto: [<text>]".
#include <charconv>
#include <new>
#include <string_view>

#include "channels/text_channel.h"
#include "channels/text_input.h"
#include "console/console_state.h"
#include "console/system_console.h"
#include "runtime/run_error.h"
#include "runtime/startup.h"

namespace {

[[noreturn]] void echoDialogue() {
  qv::String255 line;
  for (;;) {
    qv::writeString(0, qv::standardOutput, "eco> ");
    qv::flushAfterWrite(qv::standardOutput);
    qv::readShortString(qv::standardInput, line, line.capacity);
    qv::readLineEnd(qv::standardInput);
    qv::checkIo();
    if (line.view() == "fine") qv::haltProgram(0);
    if (line.view() == "memoria") throw std::bad_alloc();
    if (line.view().starts_with("flusso ")) {
      int rows = 0;
      const std::string_view count = line.view().substr(7);
      std::from_chars(count.data(), count.data() + count.size(), rows);
      for (int row = 1; row <= rows; ++row) {
        qv::writeString(0, qv::standardOutput, "riga ");
        qv::writeInteger(0, qv::standardOutput, row);
        qv::writeLineEnd(qv::standardOutput);
      }
      continue;
    }
    qv::writeString(0, qv::standardOutput, "letto: [");
    qv::writeString(0, qv::standardOutput, line.view());
    qv::writeString(0, qv::standardOutput, "]");
    qv::writeLineEnd(qv::standardOutput);
    qv::checkIo();
  }
}

}  // namespace

int main() {
  qv::useSystemConsole();
  qv::startProgram(qv::initConsole, echoDialogue);
}
