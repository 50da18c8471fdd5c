// The reading side of the text channels. Refills go through the channel's transferHook only
// when its buffer is used up; on the console that hook is the line editor.
#pragma once

#include <cstdint>
#include <string_view>

#include "channels/short_string.h"
#include "channels/text_channel.h"

namespace qv {

inline constexpr std::uint8_t endOfInputChar = 26;

std::uint8_t readChar(TextChannel& channel);
std::int32_t readInteger(TextChannel& channel);
void readShortString(TextChannel& channel, ShortStringSlot destination, std::int32_t capacity);
void readLineEnd(TextChannel& channel);
void openForInput(TextChannel& channel);

struct ParsedInteger {
  std::int32_t value;
  std::int32_t errorPosition;  // 0 on success, else the 1-based position of the fault
};
// Optional sign, optional "$" (hexadecimal) or "%" (binary) prefix, digits; 32-bit limits.
ParsedInteger parseInteger(std::string_view text);

}  // namespace qv
