// Windows handles in the program's 32-bit Handle: a 64-bit Windows handle has 32 significant
// bits (sign-extended), so it goes into the channel record and back without loss, and
// INVALID_HANDLE_VALUE is noHandle (-1).
#pragma once

#include <windows.h>

#include "channels/text_channel.h"

namespace qv {

inline Handle fromWindowsHandle(HANDLE handle) {
  return static_cast<Handle>(HandleToLong(handle));
}

inline HANDLE toWindowsHandle(Handle handle) {
  return LongToHandle(handle);
}

}  // namespace qv
