// The console's input driver: the line editor behind standardInput.
#pragma once

#include <cstdint>

#include "channels/text_channel.h"

namespace qv {

std::int32_t consoleReadLine(TextChannel& channel);
void eraseLastChar(TextChannel& channel);

}  // namespace qv
