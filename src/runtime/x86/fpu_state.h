// The program's mode on x86: the x87 unit takes fpuControlSetting itself; the SSE unit's MXCSR
// is set to trap the same three exceptions, so that double arithmetic fails the same way.
#pragma once

#include <cstdint>

#include "runtime/fpu_control.h"

namespace qv {

inline constexpr std::uint32_t mxcsrSetting = 0x1900;  // DM, UM, PM masked; nearest; no FZ/DAZ

// Status-word bits that, left set, make the next x87 instruction trap again: the flags, the
// stack fault, the summary bit and busy.
inline constexpr std::uint16_t fpuPendingStatus = 0x80FF;
inline constexpr int mxcsrMaskShift = 7;  // MXCSR masks sit 7 bits above the flags

// loadFpuControl resets the x87 unit, loads fpuControlSetting and loads mxcsrSetting. What the
// registers hold now:
std::uint16_t currentFpuControl();
std::uint16_t currentFpuStatus();
std::uint32_t currentMxcsr();

}  // namespace qv
