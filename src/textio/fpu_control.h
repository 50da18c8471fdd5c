// The arithmetic mode of the whole program: the x87 unit in extended precision, rounding to
// nearest, with invalid operation, division by zero and overflow trapping; the SSE unit's
// MXCSR set to trap the same three, so that double arithmetic fails the same way.
#pragma once

#include <cstdint>

namespace qv {

inline constexpr std::uint16_t fpuControlSetting = 0x1332;
inline constexpr std::uint32_t mxcsrSetting = 0x1900;  // DM, UM, PM masked; nearest; no FZ/DAZ

// Exception bits, the same six in the x87 status and control words and in MXCSR's flags.
inline constexpr std::uint16_t fpuInvalid = 0x01;
inline constexpr std::uint16_t fpuDenormal = 0x02;
inline constexpr std::uint16_t fpuZeroDivide = 0x04;
inline constexpr std::uint16_t fpuOverflow = 0x08;
inline constexpr std::uint16_t fpuUnderflow = 0x10;
inline constexpr std::uint16_t fpuPrecision = 0x20;
inline constexpr std::uint16_t fpuExceptionFlags = 0x3F;
// Status-word bits that, left set, make the next x87 instruction trap again: the flags, the
// stack fault, the summary bit and busy.
inline constexpr std::uint16_t fpuPendingStatus = 0x80FF;
inline constexpr int mxcsrMaskShift = 7;  // MXCSR masks sit 7 bits above the flags

// Resets the x87 unit and loads fpuControlSetting, and loads mxcsrSetting.
void loadFpuControl();

std::uint16_t currentFpuControl();
std::uint16_t currentFpuStatus();
std::uint32_t currentMxcsr();

}  // namespace qv
