// Stub: replaced by the real menu loop.
#include <cstdlib>

#include "menu/menu_loop.h"

namespace qv {
std::uint8_t menuChoice = 0;
std::int32_t termCount = 0;
ShortString<5> exitAnswer;
void runMenuLoop() { std::abort(); }
}  // namespace qv
