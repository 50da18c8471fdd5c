#include "console/console_output.h"

#include <algorithm>

#include "console/console_platform.h"
#include "console/console_state.h"
#include "console/key_codes.h"

namespace qv {

namespace {

ConsoleCoord platformPosition(std::int32_t column, std::int32_t row) {
  return {static_cast<std::int16_t>(column - 1), static_cast<std::int16_t>(row - 1)};
}

ConsoleRect windowRect() {
  const ConsoleState& s = consoleState;
  return {static_cast<std::int16_t>(s.windowLeft - 1), static_cast<std::int16_t>(s.windowTop - 1),
          static_cast<std::int16_t>(s.windowRight - 1),
          static_cast<std::int16_t>(s.windowBottom - 1)};
}

ConsoleCell fillCell() {
  return {charCode::blank, consoleState.textAttribute};
}

// Scrolls the window's content onto destination, blanking what it leaves.
void scrollWindow(ConsoleCoord destination) {
  const ConsoleRect window = windowRect();
  consolePlatform().scrollScreenBuffer(consoleState.consoleOutputHandle, window, &window,
                                       destination, fillCell());
}

void drawCell(std::uint8_t c) {
  ConsoleState& s = consoleState;
  consolePlatform().writeCell(s.consoleOutputHandle, {c, s.textAttribute},
                              platformPosition(s.currentColumn, s.currentRow));
  ++s.currentColumn;
}

// Every byte but the four controls the console acts on is a cell.
bool drawsCell(std::uint8_t c) {
  return c != charCode::bell && c != charCode::backspace && c != charCode::lineFeed &&
         c != charCode::carriageReturn;
}

// After each character: the wrap at the window's right edge, the scroll at its bottom.
void keepInWindow() {
  ConsoleState& s = consoleState;
  if (s.currentColumn > s.windowRight) {
    s.currentColumn = s.windowLeft;
    ++s.currentRow;
  }
  while (s.currentRow > s.windowBottom) {
    removeWindowLine(1);
    --s.currentRow;
  }
}

// How many of the bytes from `at` on draw cells that putConsoleChar would draw one by one on
// the current row with no wrap or scroll before the last of them: 0 when the first byte needs
// putConsoleChar itself.
std::int32_t cellsOnThisRow(const std::uint8_t* bytes, std::int32_t at, std::int32_t end) {
  const ConsoleState& s = consoleState;
  if (s.currentRow > s.windowBottom) return 0;
  const std::int32_t room = std::max(1, s.windowRight - s.currentColumn + 1);
  std::int32_t run = 0;
  while (run < room && at + run < end && drawsCell(bytes[at + run])) ++run;
  return run;
}

// Without a one-step clear, the window is blanked by shifting its content three times by
// half its height (or width) less one.
void clearByShifting() {
  const ConsoleState& s = consoleState;
  ConsoleCoord destination;
  if (s.windowBottom != s.windowTop) {
    const std::int32_t d = (s.windowBottom - s.windowTop) / 2;
    destination = {static_cast<std::int16_t>(s.windowLeft - 1),
                   static_cast<std::int16_t>(s.windowTop - d)};
  } else if (s.windowRight != s.windowLeft) {
    const std::int32_t d = (s.windowRight - s.windowLeft) / 2;
    destination = {static_cast<std::int16_t>(s.windowLeft - d),
                   static_cast<std::int16_t>(s.windowTop - 1)};
  } else {
    destination = platformPosition(s.windowLeft, s.windowTop);
    consolePlatform().fillCharacter(s.consoleOutputHandle, charCode::blank, 1, destination);
    consolePlatform().fillAttribute(s.consoleOutputHandle, s.textAttribute, 1, destination);
  }
  for (int i = 0; i < 3; ++i) scrollWindow(destination);
}

}  // namespace

std::int32_t consoleWrite(TextChannel& channel) {
  ConsoleState& s = consoleState;
  followScreenBufferSize();
  getScreenCursor(s.currentColumn, s.currentRow);
  const std::int32_t pending = std::clamp(channel.bufferPosition, 0, channelBufferSize);
  // A run of characters goes to the platform in one call (in a browser each call costs):
  // the same cells, wrap and scroll as one putConsoleChar per character.
  for (std::int32_t i = 0; i < pending;) {
    const std::int32_t run = cellsOnThisRow(channel.buffer, i, pending);
    if (run == 0) {
      putConsoleChar(channel.buffer[i++]);
      continue;
    }
    consolePlatform().writeCells(s.consoleOutputHandle,
                                 {channel.buffer + i, static_cast<std::size_t>(run)},
                                 s.textAttribute, platformPosition(s.currentColumn, s.currentRow));
    s.currentColumn += run;
    i += run;
    keepInWindow();
  }
  setScreenCursor(s.currentColumn, s.currentRow);
  channel.bufferPosition = 0;
  return 0;
}

std::int32_t consoleClose(TextChannel& channel) {
  channel.mode = modeClosed;
  return 0;
}

std::int32_t consoleNoFlush(TextChannel&) {
  return 0;
}

void putConsoleChar(std::uint8_t c) {
  ConsoleState& s = consoleState;
  // drawsCell alone decides which bytes are controls, here and for consoleWrite's runs.
  if (drawsCell(c)) {
    drawCell(c);
  } else if (c == charCode::backspace) {
    if (s.currentColumn > s.windowLeft) --s.currentColumn;
  } else if (c == charCode::lineFeed) {
    ++s.currentRow;
  } else if (c == charCode::carriageReturn) {
    s.currentColumn = s.windowLeft;
  }  // and the bell does nothing
  keepInWindow();
}

void removeWindowLine(std::int32_t line) {
  const ConsoleState& s = consoleState;
  const std::int32_t t = s.windowTop + line - 1;
  const ConsoleRect below{
      static_cast<std::int16_t>(s.windowLeft - 1), static_cast<std::int16_t>(t - 1),
      static_cast<std::int16_t>(s.windowRight - 1), static_cast<std::int16_t>(s.windowBottom - 1)};
  const ConsoleCoord oneRowUp{static_cast<std::int16_t>(s.windowLeft - 1),
                              static_cast<std::int16_t>(t - 2)};
  consolePlatform().scrollScreenBuffer(s.consoleOutputHandle, below, &below, oneRowUp, fillCell());
}

void getScreenCursor(std::int32_t& column, std::int32_t& row) {
  column = consoleState.cursorColumn + 1;
  row = consoleState.cursorRow + 1;
}

void setScreenCursor(std::int32_t column, std::int32_t row) {
  consolePlatform().setCursorPosition(consoleState.consoleOutputHandle,
                                      platformPosition(column, row));
  consoleState.cursorColumn = column - 1;
  consoleState.cursorRow = row - 1;
}

void gotoWindowPosition(std::uint8_t x, std::uint8_t y) {
  const ConsoleState& s = consoleState;
  if (x == 0 || x > s.windowRight - s.windowLeft + 1) return;
  if (y == 0 || y > s.windowBottom - s.windowTop + 1) return;
  // The positions are bytes: the sums wrap as bytes do.
  const std::uint8_t column = static_cast<std::uint8_t>(x + s.windowLeft - 1);
  const std::uint8_t row = static_cast<std::uint8_t>(y + s.windowTop - 1);
  setScreenCursor(column, row);
}

void clearScreen() {
  const ConsoleState& s = consoleState;
  followScreenBufferSize();
  if (s.platformIsNt) {
    // The block lands wholly outside the window, so every cell of it takes the fill.
    scrollWindow(
        {static_cast<std::int16_t>(-s.windowRight), static_cast<std::int16_t>(-s.windowBottom)});
  } else {
    clearByShifting();
  }
  gotoWindowPosition(1, 1);
}

}  // namespace qv
