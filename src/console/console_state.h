// The one record of the console screen, its start-up and the colour attribute.
#pragma once

#include <cstdint>

#include "channels/text_channel.h"

namespace qv {

struct ConsoleState {
  std::uint8_t textAttribute;
  std::int32_t windowLeft;  // window: 1-based absolute screen positions, inclusive
  std::int32_t windowTop;
  std::int32_t windowRight;
  std::int32_t windowBottom;
  bool platformIsNt;
  Handle consoleOutputHandle;
  Handle consoleInputHandle;
  std::int32_t cursorColumn;  // 0-based: where the console cursor was last put
  std::int32_t cursorRow;
  std::int32_t screenWidth;
  std::int32_t screenHeight;
  bool altCodeActive;
  std::uint8_t altCodeValue;
  std::int32_t currentRow;  // 1-based drawing position, valid while a console driver runs
  std::int32_t currentColumn;
  bool extendedKeyPending;
  std::uint8_t pendingKey;
};

extern ConsoleState consoleState;

void initConsole();
void setTextColor(std::uint8_t color);
std::int32_t queryScreenWidth();
std::int32_t queryScreenHeight();
std::int32_t queryPlatformId();
void bindConsoleChannel(TextChannel& channel);
std::int32_t consoleOpen(TextChannel& channel);

// The console follows a screen buffer that changes size (a terminal window that is resized):
// when the platform gives notice of a new size, the size, the window (still the whole buffer)
// and the cursor fields take it on. True when they did. The drivers call it at their start.
bool followScreenBufferSize();

// Puts the console record back to its all-zero start (for tests).
void resetConsoleState();

}  // namespace qv
