// A console of a chosen size in memory, started the way the program starts it: the standard
// channels bound first, then the console taking over standardOutput and standardInput.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <string_view>

#include "channels/text_channel.h"
#include "console/console_input.h"
#include "console/console_output.h"
#include "console/console_state.h"
#include "console/extended_keys.h"
#include "console/key_reader.h"
#include "runtime/startup.h"
#include "support/memory_device.h"

namespace qv {

struct ConsoleSetup {
  int columns = 80;
  int rows = 25;
  std::uint16_t attributeWord = 0x07;
  GridConsole::Clock clock = GridConsole::steadyMilliseconds;
};

class ConsoleTest : public ::testing::Test {
 protected:
  void SetUp() override { start({}); }
  void TearDown() override {
    setConsolePlatform(nullptr);
    resetConsoleState();
    resetChannels();
  }

  // Installs a console of that setup; `run` false leaves initConsole to the test.
  void start(const ConsoleSetup& s, bool run = true) {
    console = std::make_unique<MemoryDevice>(s.columns, s.rows, s.attributeWord, s.clock);
    setConsolePlatform(&console->platform());
    resetConsoleState();
    resetChannels();
    bindStandardChannels();
    if (run) initConsole();
  }

  void write(std::string_view text) {
    writeString(0, standardOutput, text);
    flushAfterWrite(standardOutput);
  }
  void writeLine(std::string_view text) {
    writeString(0, standardOutput, text);
    writeLineEnd(standardOutput);
  }
  // What the line editor hands to standardInput for the keys already queued.
  std::string readLine() {
    consoleReadLine(standardInput);
    return {reinterpret_cast<const char*>(standardInput.buffer),
            static_cast<std::size_t>(standardInput.bufferEnd)};
  }
  std::string row(int r) const { return console->rowText(r); }
  ConsoleCoord cursor() const { return console->cursor(); }

  std::unique_ptr<MemoryDevice> console;
};

inline std::ostream& operator<<(std::ostream& out, ConsoleCoord c) {
  return out << "(" << c.x << ", " << c.y << ")";
}

}  // namespace qv
