// The narrow platform layer under the console: a screen buffer of cells and a queue of key
// events. Positions are 0-based (column, row); rectangles are inclusive on all four sides.
// One implementation, GridConsole (grid_console.h), over a device of each platform.
#pragma once

#include <cstdint>
#include <span>

#include "channels/text_channel.h"

namespace qv {

struct ConsoleCoord {
  std::int16_t x;
  std::int16_t y;
  bool operator==(const ConsoleCoord&) const = default;
};

struct ConsoleRect {
  std::int16_t left;
  std::int16_t top;
  std::int16_t right;
  std::int16_t bottom;
};

struct ConsoleCell {
  std::uint8_t character;
  std::uint8_t attribute;  // bits 0-3 foreground (bit 0 blue), 4-6 background, 7 bright background
  bool operator==(const ConsoleCell&) const = default;
};

struct ScreenBufferInfo {
  ConsoleCoord size;            // columns, rows
  ConsoleCoord cursorPosition;  // 0-based
  std::uint16_t attributes;     // the current attribute word
};

// Control key state bits of a key event.
namespace controlKey {
inline constexpr std::uint32_t rightAltPressed = 0x1;
inline constexpr std::uint32_t leftAltPressed = 0x2;
inline constexpr std::uint32_t rightCtrlPressed = 0x4;
inline constexpr std::uint32_t leftCtrlPressed = 0x8;
inline constexpr std::uint32_t shiftPressed = 0x10;
inline constexpr std::uint32_t enhancedKey = 0x100;
inline constexpr std::uint32_t anyAlt = rightAltPressed | leftAltPressed;
inline constexpr std::uint32_t anyCtrl = rightCtrlPressed | leftCtrlPressed;
}  // namespace controlKey

// Virtual key codes of the keys the console knows by name.
enum class VirtualKey : std::uint16_t {
  none = 0,
  back = 0x08,
  tab = 0x09,
  clear = 0x0C,  // keypad 5 without Num Lock
  enter = 0x0D,
  shift = 0x10,
  control = 0x11,
  alt = 0x12,
  capsLock = 0x14,
  escape = 0x1B,
  space = 0x20,
  pageUp = 0x21,
  pageDown = 0x22,
  end = 0x23,
  home = 0x24,
  left = 0x25,
  up = 0x26,
  right = 0x27,
  down = 0x28,
  insert = 0x2D,
  del = 0x2E,
  numpad0 = 0x60,
  numpad9 = 0x69,
  multiply = 0x6A,
  add = 0x6B,
  subtract = 0x6D,
  divide = 0x6F,
  f1 = 0x70,  // F1..F12 are 0x70..0x7B
  f11 = 0x7A,
  f12 = 0x7B,
  numLock = 0x90,
  scrollLock = 0x91,
};

// The keypad digits and the function keys are runs of consecutive codes.
constexpr VirtualKey numpadKey(int digit) {
  return static_cast<VirtualKey>(static_cast<int>(VirtualKey::numpad0) + digit);
}
constexpr bool isNumpadDigit(VirtualKey key) {
  return key >= VirtualKey::numpad0 && key <= VirtualKey::numpad9;
}
constexpr VirtualKey functionKey(int n) {  // F1 to F12
  return static_cast<VirtualKey>(static_cast<int>(VirtualKey::f1) + n - 1);
}

// Keyboard scan codes (set 1) of the keys the key translation tables name.
enum class ScanCode : std::uint16_t {
  none = 0,
  escape = 1,
  digit1 = 2,  // top row 1..9, 0, minus, equals are 2..13
  equals = 13,
  backspace = 14,
  tab = 15,
  enter = 28,
  slash = 53,
  keypadMultiply = 55,
  alt = 56,
  space = 57,
  f1 = 59,  // F1..F10 are 59..68
  f10 = 68,
  home = 71,
  up = 72,
  pageUp = 73,
  keypadMinus = 74,
  left = 75,
  keypad5 = 76,
  right = 77,
  keypadPlus = 78,
  end = 79,
  down = 80,
  pageDown = 81,
  insert = 82,
  del = 83,
  f11 = 87,
  f12 = 88,
};

struct KeyEventRecord {
  bool keyDown;
  std::uint16_t repeatCount;
  VirtualKey virtualKeyCode;  // may hold codes without a name (letters, digits)
  ScanCode virtualScanCode;   // may hold codes without a name
  std::uint8_t asciiChar;
  std::uint32_t controlKeyState;
};

enum class InputEventType : std::uint16_t {
  key = 1,
  mouse = 2,
  windowBufferSize = 4,
  menu = 8,
  focus = 16,
};

struct InputRecord {
  InputEventType eventType;
  KeyEventRecord keyEvent;  // valid when eventType is key
};

class ConsolePlatform {
 public:
  virtual ~ConsolePlatform() = default;

  // The standard handles, by their ids (see channels/file_driver.h).
  virtual Handle standardHandle(std::int32_t which) = 0;
  // The console's active screen buffer when standard output is not one; noHandle if none.
  virtual Handle openConsoleOutput() = 0;
  virtual std::int32_t platformId() = 0;

  // False when the handle is no console screen buffer.
  [[nodiscard]] virtual bool getScreenBufferInfo(Handle output, ScreenBufferInfo& info) = 0;
  // A notice that the screen buffer has taken a new size since the last notice (a terminal
  // window that was resized): true once, with the new size and where the cursor stands now
  // (the platform keeps the cells that fit and clamps the cursor). Cheap enough for every
  // driver call. The default is a buffer that never changes size.
  [[nodiscard]] virtual bool takeScreenBufferResize(Handle output, ScreenBufferInfo& info);
  // The line editor's line no longer reads as the screen shows it: an erase at the window's
  // left column (position), where a backspace cannot go up a row, took a character from the
  // row above. A device that prints lines it cannot take back (a teletype) shows the line
  // again. The default does nothing: the screen stays as the console has it.
  virtual void lineOutOfStep(Handle output, ConsoleCoord position,
                             std::span<const std::uint8_t> line);
  // One cell; the cursor does not move; no wrap, scroll or control meaning.
  virtual void writeCell(Handle output, ConsoleCell cell, ConsoleCoord position) = 0;
  // Cells in one attribute along a row from position on, as one writeCell each: the ones past
  // the buffer's edge are dropped. The default makes those calls.
  virtual void writeCells(Handle output, std::span<const std::uint8_t> characters,
                          std::uint8_t attribute, ConsoleCoord position);
  // The source block is read whole, then written with its top-left cell on destination, only
  // inside clip (the whole buffer when clip is null) and the buffer; every cell inside source
  // and clip that the moved block does not cover gets the fill cell.
  virtual void scrollScreenBuffer(Handle output, ConsoleRect source, const ConsoleRect* clip,
                                  ConsoleCoord destination, ConsoleCell fill) = 0;
  // count cells from position on, row after row.
  virtual void fillCharacter(Handle output, std::uint8_t character, std::int32_t count,
                             ConsoleCoord position) = 0;
  virtual void fillAttribute(Handle output, std::uint8_t attribute, std::int32_t count,
                             ConsoleCoord position) = 0;
  virtual void setCursorPosition(Handle output, ConsoleCoord position) = 0;

  // Waiting events, none removed; false (counting as none) when the query fails.
  [[nodiscard]] virtual bool numberOfInputEvents(Handle input, std::uint32_t& count) = 0;
  // Removes and returns the oldest event; false when none could be read.
  [[nodiscard]] virtual bool readInput(Handle input, InputRecord& record) = 0;
  // Takes the place of the key reader's one-millisecond sleep: returns at once when an event is
  // waiting, otherwise blocks until one may have arrived. May return without a new event.
  virtual void waitForInput(Handle input) = 0;
};

// The platform the console subsystem talks to. The program installs the terminal; tests
// install an in-memory console. Until one is installed (or after nullptr is installed) there is
// no console: every query fails and nothing is drawn.
ConsolePlatform& consolePlatform();
void setConsolePlatform(ConsolePlatform* platform);

}  // namespace qv
