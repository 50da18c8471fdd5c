// A console device held in memory: the grid console's grid is its screen, and a queue of key
// events its keyboard. Tests install its console as the console platform, type keys into it
// and read the screen back.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>

#include "console/console_device.h"
#include "console/grid_console.h"

namespace qv {

class MemoryDevice final : public ConsoleDevice {
 public:
  // The handles it hands out: the three standard ones, and the console's own screen buffer.
  static constexpr Handle inputHandle = 0;
  static constexpr Handle outputHandle = 1;
  static constexpr Handle errorHandle = 2;
  static constexpr Handle consoleOutHandle = 3;

  // Thrown from waitForKeys when the key queue has run dry and no other handler is set.
  struct InputExhausted {};
  using InputExhaustedHandler = std::function<void(MemoryDevice&)>;

  // attributeWord is what the console reports at start-up (its upper byte is not a colour).
  MemoryDevice(int columns, int rows, std::uint16_t attributeWord = 0x07,
               GridConsole::Clock clock = GridConsole::steadyMilliseconds);

  // The console to install: setConsolePlatform(&device.platform()).
  ConsolePlatform& platform() { return console_; }

  // The keyboard. Every key goes down and comes up again.
  void pressKey(VirtualKey key, ScanCode scanCode, std::uint8_t character,
                std::uint32_t controlKeyState = 0);
  // A key by its name, with its usual scan code and character: Backspace, Tab, Enter, Esc,
  // Home, End, Left, Right, Up, Del, F1 to F12, the keypad digits.
  void pressKey(VirtualKey key, std::uint32_t controlKeyState = 0);
  void pressCtrl(char letter);  // Ctrl plus a letter: the control code of that letter
  // Printable characters as typed; 8, 9, 13 and 27 as Backspace, Tab, Enter and Esc.
  void typeText(std::string_view text);
  // Holding Alt, the digits on the numeric keypad, then releasing Alt.
  void typeAltCode(std::string_view digits, std::uint32_t altKey = controlKey::leftAltPressed);
  void onInputExhausted(InputExhaustedHandler handler) { onExhausted_ = std::move(handler); }

  // The screen, once the console has started (before, rowText is empty).
  ScreenGrid& grid() { return *shown_; }
  const ScreenGrid& grid() const { return *shown_; }
  std::string rowText(int row) const;  // the characters of a row, trailing blanks dropped
  ConsoleCell cell(int column, int row) const { return grid().cell(column, row); }
  ConsoleCoord cursor() const { return grid().cursor(); }
  // The window is resized: the console hears of it at its next look at events, the drivers at
  // their next call.
  void resize(int columns, int rows);

  // ConsoleDevice.
  Handle standardHandle(std::int32_t which) override;
  Handle openConsoleOutput() override;
  std::int32_t platformId() override { return 2; }  // Windows NT, as start-up expects
  bool prepareSession(Handle output, StartState& start) override;
  bool enterSession(ScreenGrid& grid) override {
    shown_ = &grid;
    return true;
  }
  void endSession(ScreenGrid&) override {}
  Presented present(ScreenGrid&) override {
    ++frames;
    return Presented::shown;
  }
  int frames = 0;  // the frames the console presented
  DeviceEvent takeEvent(ScreenGrid& grid, bool urgentOnly) override;
  bool countKeys(std::uint32_t& count) override;
  bool readKey(InputRecord& record) override;
  void waitForKeys(ScreenGrid& grid) override;

 private:
  void pushKey(bool down, VirtualKey key, ScanCode scanCode, std::uint8_t character,
               std::uint32_t controlKeyState);

  StartState start_;
  std::deque<InputRecord> events_;
  InputExhaustedHandler onExhausted_;
  bool resized_ = false;  // since the console last looked
  ScreenGrid* shown_ = nullptr;
  GridConsole console_;
};

}  // namespace qv
