#include "console/console_state.h"

#include <string_view>

#include "channels/file_driver.h"
#include "channels/io_result.h"
#include "channels/text_input.h"
#include "console/console_input.h"
#include "console/console_output.h"
#include "console/console_platform.h"
#include "runtime/run_error.h"

namespace qv {

ConsoleState consoleState;

namespace {

constexpr std::int32_t platformWin32Nt = 2;
constexpr std::int32_t fallbackScreenWidth = 80;
constexpr std::int32_t fallbackScreenHeight = 25;

// Bits of textAttribute that setTextColor takes from the colour, and the ones it keeps.
constexpr std::uint8_t colourBits = 0x8F;  // foreground and background intensity
constexpr std::uint8_t backgroundBits = 0x70;

// The exit code is what tells a script that there was no console; the message is for a person
// and may have nowhere to go (standard error closed or unwritable), which must not turn the
// code into that of a write error.
[[noreturn]] void failStartup(std::string_view message) {
  writeString(0, standardError, message);
  writeLineEnd(standardError);
  ioResult = 0;
  haltProgram(1);
}

// The screen buffer to draw on: standard output when it is one, else the console's own.
ScreenBufferInfo reachConsoleOutput() {
  ConsolePlatform& platform = consolePlatform();
  ScreenBufferInfo info{};
  if (platform.getScreenBufferInfo(consoleState.consoleOutputHandle, info)) return info;
  consoleState.consoleOutputHandle = platform.openConsoleOutput();
  if (consoleState.consoleOutputHandle == noHandle) failStartup("No way to get the console handle");
  info = {};
  if (!platform.getScreenBufferInfo(consoleState.consoleOutputHandle, info)) {
    failStartup("No way to get console screen buffer info");
  }
  return info;
}

void rebindChannel(TextChannel& channel, void (*open)(TextChannel&), Handle handle) {
  bindConsoleChannel(channel);
  open(channel);
  checkIo();
  channel.handle = handle;
}

}  // namespace

void initConsole() {
  ConsoleState& state = consoleState;
  ConsolePlatform& platform = consolePlatform();
  state.consoleOutputHandle = platform.standardHandle(standardOutputId);
  state.consoleInputHandle = platform.standardHandle(standardInputId);
  const ScreenBufferInfo info = reachConsoleOutput();
  state.cursorColumn = info.cursorPosition.x;
  state.cursorRow = info.cursorPosition.y;
  state.textAttribute = static_cast<std::uint8_t>(info.attributes & 0xFF);
  state.screenWidth = queryScreenWidth();
  state.screenHeight = queryScreenHeight();
  state.platformIsNt = queryPlatformId() == platformWin32Nt;
  state.windowLeft = 1;
  state.windowTop = 1;
  state.windowRight = state.screenWidth;
  state.windowBottom = state.screenHeight;
  state.altCodeActive = false;
  state.altCodeValue = 0;
  rebindChannel(standardOutput, openForOutput, state.consoleOutputHandle);
  rebindChannel(standardInput, openForInput, state.consoleInputHandle);
}

void setTextColor(std::uint8_t color) {
  consoleState.textAttribute = static_cast<std::uint8_t>(
      (color & colourBits) | (consoleState.textAttribute & backgroundBits));
}

bool followScreenBufferSize() {
  ConsoleState& state = consoleState;
  ScreenBufferInfo info{};
  if (!consolePlatform().takeScreenBufferResize(state.consoleOutputHandle, info)) return false;
  state.screenWidth = info.size.x;
  state.screenHeight = info.size.y;
  state.windowRight = state.windowLeft + state.screenWidth - 1;
  state.windowBottom = state.windowTop + state.screenHeight - 1;
  state.cursorColumn = info.cursorPosition.x;
  state.cursorRow = info.cursorPosition.y;
  return true;
}

std::int32_t queryScreenWidth() {
  ScreenBufferInfo info{};
  if (!consolePlatform().getScreenBufferInfo(consoleState.consoleOutputHandle, info)) {
    return fallbackScreenWidth;
  }
  return info.size.x;
}

std::int32_t queryScreenHeight() {
  ScreenBufferInfo info{};
  if (!consolePlatform().getScreenBufferInfo(consoleState.consoleOutputHandle, info)) {
    return fallbackScreenHeight;
  }
  return info.size.y;
}

std::int32_t queryPlatformId() {
  return consolePlatform().platformId();
}

void bindConsoleChannel(TextChannel& channel) {
  initChannel(channel, "");
  channel.openHook = consoleOpen;
}

std::int32_t consoleOpen(TextChannel& channel) {
  if (channel.mode == modeOutput) {
    channel.transferHook = consoleWrite;
    channel.flushHook = consoleWrite;
  } else {
    channel.mode = modeInput;
    channel.transferHook = consoleReadLine;
    channel.flushHook = consoleNoFlush;
  }
  channel.closeHook = consoleClose;
  return 0;
}

void resetConsoleState() {
  consoleState = ConsoleState{};
}

}  // namespace qv
