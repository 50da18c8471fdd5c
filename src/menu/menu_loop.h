// The main program: the menu dialogue, run until an exit word is typed.
#pragma once

#include <cstdint>

#include "channels/short_string.h"

namespace qv {

extern std::uint8_t menuChoice;
extern std::int32_t termCount;
extern ShortString<5> exitAnswer;

[[noreturn]] void runMenuLoop();

}  // namespace qv
