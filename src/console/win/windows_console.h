// The console platform on the Windows console: the screen buffer and the input queue of the
// console the program runs in, through the console API.
//
// Nothing touches the console until start-up asks for a screen buffer's information: the
// console session starts then, once. From there on the keyboard is in the program's input
// mode, drawing goes into a ScreenGrid that reaches the screen buffer in batches, Ctrl-C and
// a closed window end the program through its one end path, and every way out puts the
// console back as it was found.
#pragma once

#include <windows.h>

#include "console/console_platform.h"
#include "console/win/console_keyboard.h"
#include "console/win/console_screen.h"

namespace qv {

class WindowsConsole final : public ConsolePlatform {
 public:
  Handle standardHandle(std::int32_t which) override;
  Handle openConsoleOutput() override;
  std::int32_t platformId() override;

  bool getScreenBufferInfo(Handle output, ScreenBufferInfo& info) override;
  void writeCell(Handle output, ConsoleCell cell, ConsoleCoord position) override;
  void scrollScreenBuffer(Handle output, ConsoleRect source, const ConsoleRect* clip,
                          ConsoleCoord destination, ConsoleCell fill) override;
  void fillCharacter(Handle output, std::uint8_t character, std::int32_t count,
                     ConsoleCoord position) override;
  void fillAttribute(Handle output, std::uint8_t attribute, std::int32_t count,
                     ConsoleCoord position) override;
  void setCursorPosition(Handle output, ConsoleCoord position) override;

  bool numberOfInputEvents(Handle input, std::uint32_t& count) override;
  bool readInput(Handle input, InputRecord& record) override;
  void waitForInput(Handle input) override;

  bool sessionStarted() const { return started_; }
  // The last frame on the screen, the console's input mode back. Harmless when already done.
  void restore();

 private:
  bool drawsOn(Handle output) const { return started_ && output == output_; }
  void startSession(Handle output, const CONSOLE_SCREEN_BUFFER_INFO& info);
  void handleControlEvents();

  bool started_ = false;
  bool restored_ = false;
  Handle output_ = noHandle;  // the screen buffer the session draws on
  ConsoleScreen screen_;
  ConsoleKeyboard keyboard_;
};

}  // namespace qv
