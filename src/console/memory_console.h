// A console held in memory: a grid of cells for the screen and a queue of key events for the
// keyboard. Tests install it as the console platform, type keys into it and read the screen
// back; switches make start-up meet a redirected standard output or no console at all.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>

#include "console/console_platform.h"
#include "console/screen_grid.h"

namespace qv {

class MemoryConsole final : public ConsolePlatform {
 public:
  // The handles it hands out: the three standard ones, and the console's own screen buffer.
  static constexpr Handle inputHandle = 0;
  static constexpr Handle outputHandle = 1;
  static constexpr Handle errorHandle = 2;
  static constexpr Handle consoleOutHandle = 3;

  // Thrown from waitForInput when the key queue has run dry and no other handler is set.
  struct InputExhausted {};
  using InputExhaustedHandler = std::function<void(MemoryConsole&)>;

  // attributeWord is what the console reports at start-up (its upper byte is not a colour).
  MemoryConsole(int columns, int rows, ConsoleCoord cursor = {0, 0},
                std::uint16_t attributeWord = 0x07);

  // Start-up conditions.
  void setStandardOutputRedirected(bool redirected) { outputRedirected_ = redirected; }
  void setScreenBufferInfoFails(bool fails) { infoFails_ = fails; }
  void setConsoleOutputMissing(bool missing) { consoleOutMissing_ = missing; }
  void setPlatformId(std::int32_t id) { platformId_ = id; }

  // The keyboard. Every key goes down and comes up again.
  void pushEvent(const InputRecord& record) { events_.push_back(record); }
  void pressKey(VirtualKey key, ScanCode scanCode, std::uint8_t character,
                std::uint32_t controlKeyState = 0);
  // A key by its name, with its usual scan code and character (Enter, Esc, the cursor and
  // editing keys, F1 to F12, the keypad).
  void pressKey(VirtualKey key, std::uint32_t controlKeyState = 0);
  void pressCtrl(char letter);  // Ctrl plus a letter: the control code of that letter
  // Printable characters as typed; 8, 9, 13 and 27 as Backspace, Tab, Enter and Esc.
  void typeText(std::string_view text);
  // Holding Alt, the digits on the numeric keypad, then releasing Alt.
  void typeAltCode(std::string_view digits, std::uint32_t altKey = controlKey::leftAltPressed);
  std::size_t pendingEvents() const { return events_.size(); }
  void onInputExhausted(InputExhaustedHandler handler) { onExhausted_ = std::move(handler); }

  // The screen.
  ScreenGrid& grid() { return grid_; }
  const ScreenGrid& grid() const { return grid_; }
  std::string rowText(int row) const;  // the characters of a row, trailing blanks dropped
  ConsoleCell cell(int column, int row) const { return grid_.cell(column, row); }
  ConsoleCoord cursor() const { return grid_.cursor(); }
  // The window is resized: the grid takes the size (see ScreenGrid::resize), and the console
  // hears of it at its next driver call.
  void resize(int columns, int rows);

  // ConsolePlatform.
  Handle standardHandle(std::int32_t which) override;
  Handle openConsoleOutput() override;
  std::int32_t platformId() override { return platformId_; }
  bool getScreenBufferInfo(Handle output, ScreenBufferInfo& info) override;
  bool takeScreenBufferResize(Handle output, ScreenBufferInfo& info) override;
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

 private:
  bool isScreenBuffer(Handle handle) const;
  void pushKey(bool down, VirtualKey key, ScanCode scanCode, std::uint8_t character,
               std::uint32_t controlKeyState);

  ScreenGrid grid_;
  std::uint16_t attributeWord_;
  std::deque<InputRecord> events_;
  InputExhaustedHandler onExhausted_;
  std::int32_t platformId_ = 2;
  bool outputRedirected_ = false;
  bool infoFails_ = false;
  bool consoleOutMissing_ = false;
  bool resized_ = false;
};

}  // namespace qv
