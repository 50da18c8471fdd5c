// The console's input driver: the line editor behind standardInput and the key reader.
#pragma once

#include <cstdint>

#include "channels/text_channel.h"
#include "console/console_platform.h"

namespace qv {

std::int32_t consoleReadLine(TextChannel& channel);
std::uint8_t nextKeyCode();
bool pollKeyEvents();
std::uint8_t translateExtendedKey(ScanCode scanCode, std::uint32_t controlKeyState,
                                  VirtualKey virtualKeyCode);
void eraseLastChar(TextChannel& channel);

}  // namespace qv
