// The arithmetic mode of the whole program: the control word of the 80-bit extended format,
// in the x87's layout, with extended precision, rounding to nearest, and invalid operation,
// division by zero and overflow trapping. Each processor's file puts its floating-point unit
// in the program's mode and says what that is in its own registers (x86/fpu_state.h,
// arm64/fpu_state.h).
#pragma once

#include <cstdint>

namespace qv {

inline constexpr std::uint16_t fpuControlSetting = 0x1332;

// Exception bits, the same six in the x87 status and control words and in MXCSR's flags.
inline constexpr std::uint16_t fpuInvalid = 0x01;
inline constexpr std::uint16_t fpuDenormal = 0x02;
inline constexpr std::uint16_t fpuZeroDivide = 0x04;
inline constexpr std::uint16_t fpuOverflow = 0x08;
inline constexpr std::uint16_t fpuUnderflow = 0x10;
inline constexpr std::uint16_t fpuPrecision = 0x20;
inline constexpr std::uint16_t fpuExceptionFlags = 0x3F;

// Puts the floating-point unit in the program's mode, with no exception flag raised.
void loadFpuControl();

// The extended arithmetic in integers has no unit to hold a control word: it obeys this one,
// which starts as the x87's does (every exception masked) until start-up loads the program's.
void loadSoftFpuControl(std::uint16_t control);
std::uint16_t softFpuControl();

}  // namespace qv
