// Stub: replaced by the real read operations.
#include "textio/text_input.h"

#include <cstdlib>

namespace qv {
std::uint8_t readChar(TextChannel&) { std::abort(); }
std::int32_t readInteger(TextChannel&) { std::abort(); }
void readShortString(TextChannel&, ShortStringSlot, std::int32_t) { std::abort(); }
void readLineEnd(TextChannel&) { std::abort(); }
void openForInput(TextChannel&) { std::abort(); }
ParsedInteger parseInteger(std::string_view) { std::abort(); }
}  // namespace qv
