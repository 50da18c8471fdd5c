// The key reader: key events from the console's input queue become key codes for the line
// editor, a special key as two codes (0, then the extended code).
#pragma once

#include <cstdint>

namespace qv {

// The next key code; waits for a key while none is pending.
std::uint8_t nextKeyCode();
// Takes waiting key events until one gives a key code; true when a code is pending.
bool pollKeyEvents();

}  // namespace qv
