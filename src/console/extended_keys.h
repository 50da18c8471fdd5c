// The second code of a special key, from its scan code and the modifier held with it.
#pragma once

#include <cstdint>

#include "console/console_platform.h"

namespace qv {

std::uint8_t translateExtendedKey(ScanCode scanCode, std::uint32_t controlKeyState,
                                  VirtualKey virtualKeyCode);

}  // namespace qv
