// The console's output driver: every character drawn as one cell at the drawing position, with
// the wrap at the window's right edge and the scroll at its bottom; cursor and clearing.
#pragma once

#include <cstdint>

#include "channels/text_channel.h"

namespace qv {

std::int32_t consoleWrite(TextChannel& channel);
std::int32_t consoleClose(TextChannel& channel);
std::int32_t consoleNoFlush(TextChannel& channel);

void putConsoleChar(std::uint8_t c);
void removeWindowLine(std::int32_t line);
void getScreenCursor(std::int32_t& column, std::int32_t& row);
void setScreenCursor(std::int32_t column, std::int32_t row);
void gotoWindowPosition(std::uint8_t x, std::uint8_t y);
void clearScreen();

}  // namespace qv
