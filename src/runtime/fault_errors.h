// The run-time error numbers of processor faults, whatever the platform reports them as.
#pragma once

#include <cstdint>

namespace qv {

// Run-time error numbers of processor faults.
inline constexpr std::uint16_t errorDivisionByZero = 200;
inline constexpr std::uint16_t errorRangeCheck = 201;
inline constexpr std::uint16_t errorStackOverflow = 202;
inline constexpr std::uint16_t errorFloatOverflow = 205;
inline constexpr std::uint16_t errorFloatUnderflow = 206;
inline constexpr std::uint16_t errorInvalidOperation = 207;
inline constexpr std::uint16_t errorIntegerOverflow = 215;
inline constexpr std::uint16_t errorAccessViolation = 216;
inline constexpr std::uint16_t errorBadInstruction = 217;

// The run-time error a fault becomes, and whether the floating-point unit must be reset.
struct FaultMapping {
  std::uint16_t number = 0;  // 0: not a fault this program handles
  bool floatingPoint = false;
};

}  // namespace qv
