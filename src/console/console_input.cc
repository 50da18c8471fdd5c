// The line editor behind standardInput: one typed line per call, edited in the channel's own
// buffer (bufferPosition is the edit position, bufferEnd the line length) and echoed on the
// screen as it is typed.
#include "console/console_input.h"

#include <algorithm>

#include "console/console_output.h"
#include "console/console_platform.h"
#include "console/console_state.h"
#include "console/key_codes.h"
#include "console/key_reader.h"

namespace qv {

namespace {

constexpr std::uint8_t extendedCode(ScanCode key) {
  return static_cast<std::uint8_t>(key);
}

// Room is always left for the line end behind the typed characters.
std::int32_t lineLimit(const TextChannel& channel) {
  return std::max(std::min(channel.bufferSize, channelBufferSize) - 2, 0);
}

void moveLeft(TextChannel& channel) {
  if (channel.bufferPosition == 0) return;
  --channel.bufferPosition;
  putConsoleChar(charCode::backspace);
}

void moveRight(TextChannel& channel) {
  if (channel.bufferPosition >= channel.bufferEnd) return;
  putConsoleChar(channel.buffer[channel.bufferPosition]);
  ++channel.bufferPosition;
}

void moveHome(TextChannel& channel) {
  while (channel.bufferPosition > 0) moveLeft(channel);
}

void moveEnd(TextChannel& channel) {
  while (channel.bufferPosition < channel.bufferEnd) moveRight(channel);
}

void clearLine(TextChannel& channel) {
  moveEnd(channel);
  while (channel.bufferEnd > 0) eraseLastChar(channel);
}

// Typing overwrites; the line grows only when the edit position passes its end.
void typeCharacter(TextChannel& channel, std::uint8_t code) {
  if (channel.bufferPosition >= lineLimit(channel)) return;
  channel.buffer[channel.bufferPosition] = code;
  ++channel.bufferPosition;
  putConsoleChar(code);
}

void editSpecialKey(TextChannel& channel, std::uint8_t code) {
  switch (code) {
    case extendedCode(ScanCode::home):
      moveHome(channel);
      break;
    case extendedCode(ScanCode::left):
      moveLeft(channel);
      break;
    case extendedCode(ScanCode::right):
      moveRight(channel);
      break;
    case extendedCode(ScanCode::end):
      moveEnd(channel);
      break;
    default:
      break;
  }
}

void editLine(TextChannel& channel, std::uint8_t code) {
  switch (code) {
    case charCode::none:
      editSpecialKey(channel, nextKeyCode());
      break;
    case charCode::backspace:
    case charCode::ctrlS:
      eraseLastChar(channel);
      break;
    case charCode::ctrlY:
    case charCode::escape:
      clearLine(channel);
      break;
    case charCode::ctrlZ:
      break;
    default:
      typeCharacter(channel, code);
      break;
  }
}

void endLine(TextChannel& channel) {
  putConsoleChar(charCode::carriageReturn);
  putConsoleChar(charCode::lineFeed);
  channel.buffer[channel.bufferEnd] = charCode::carriageReturn;
  channel.buffer[channel.bufferEnd + 1] = charCode::lineFeed;
  channel.bufferEnd += 2;
  channel.bufferPosition = 0;
  setScreenCursor(consoleState.currentColumn, consoleState.currentRow);
}

}  // namespace

std::int32_t consoleReadLine(TextChannel& channel) {
  ConsoleState& s = consoleState;
  followScreenBufferSize();
  getScreenCursor(s.currentColumn, s.currentRow);
  channel.bufferPosition = 0;
  channel.bufferEnd = 0;
  for (;;) {
    if (channel.bufferPosition > channel.bufferEnd) channel.bufferEnd = channel.bufferPosition;
    setScreenCursor(s.currentColumn, s.currentRow);
    const std::uint8_t code = nextKeyCode();
    // Resized while waiting for the key: the edit position's cell moved with the screen.
    if (followScreenBufferSize()) getScreenCursor(s.currentColumn, s.currentRow);
    if (code == charCode::carriageReturn) break;
    editLine(channel, code);
  }
  endLine(channel);
  return 0;
}

void eraseLastChar(TextChannel& channel) {
  if (channel.bufferPosition == 0 || channel.bufferPosition != channel.bufferEnd) return;
  // At the window's left column the backspace stays: the character erased is on the row above.
  const bool upARow = consoleState.currentColumn <= consoleState.windowLeft;
  putConsoleChar(charCode::backspace);
  putConsoleChar(charCode::blank);
  putConsoleChar(charCode::backspace);
  --channel.bufferPosition;
  --channel.bufferEnd;
  if (upARow) {
    const ConsoleState& s = consoleState;
    consolePlatform().lineOutOfStep(
        s.consoleOutputHandle,
        {static_cast<std::int16_t>(s.currentColumn - 1),
         static_cast<std::int16_t>(s.currentRow - 1)},
        {channel.buffer,
         static_cast<std::size_t>(std::clamp(channel.bufferEnd, 0, channelBufferSize))});
  }
}

}  // namespace qv
