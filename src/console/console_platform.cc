#include "console/console_platform.h"

namespace qv {

namespace {

// Where no platform has been installed there is no console to reach: every query fails, so
// start-up reports the missing console instead of drawing into nothing.
class NoConsole final : public ConsolePlatform {
 public:
  Handle standardHandle(std::int32_t) override { return noHandle; }
  Handle openConsoleOutput() override { return noHandle; }
  std::int32_t platformId() override { return 0; }
  bool getScreenBufferInfo(Handle, ScreenBufferInfo&) override { return false; }
  void writeCell(Handle, ConsoleCell, ConsoleCoord) override {}
  void scrollScreenBuffer(Handle, ConsoleRect, const ConsoleRect*, ConsoleCoord,
                          ConsoleCell) override {}
  void fillCharacter(Handle, std::uint8_t, std::int32_t, ConsoleCoord) override {}
  void fillAttribute(Handle, std::uint8_t, std::int32_t, ConsoleCoord) override {}
  void setCursorPosition(Handle, ConsoleCoord) override {}
  bool numberOfInputEvents(Handle, std::uint32_t& count) override {
    count = 0;
    return false;
  }
  bool readInput(Handle, InputRecord&) override { return false; }
  void waitForInput(Handle) override {}
};

NoConsole noConsole;
ConsolePlatform* installedPlatform = &noConsole;

}  // namespace

bool ConsolePlatform::takeScreenBufferResize(Handle, ScreenBufferInfo&) {
  return false;
}

void ConsolePlatform::lineOutOfStep(Handle, ConsoleCoord, std::span<const std::uint8_t>) {}

void ConsolePlatform::writeCells(Handle output, std::span<const std::uint8_t> characters,
                                 std::uint8_t attribute, ConsoleCoord position) {
  for (std::size_t i = 0; i < characters.size(); ++i) {
    writeCell(output, {characters[i], attribute},
              {static_cast<std::int16_t>(position.x + i), position.y});
  }
}

ConsolePlatform& consolePlatform() {
  return *installedPlatform;
}

void setConsolePlatform(ConsolePlatform* platform) {
  installedPlatform = platform != nullptr ? platform : &noConsole;
}

}  // namespace qv
