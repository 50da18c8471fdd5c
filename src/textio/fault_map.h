// Which run-time error a processor fault becomes. Kept apart from the signal handling so the
// mapping can be checked for faults that no test can provoke safely.
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

// The processor's exception vectors that matter here (the kernel reports them as trapno).
enum class TrapVector : long {
  unknown = -1,
  divideError = 0,
  breakpoint = 3,
  generalProtection = 13,
  x87Error = 16,
  simdError = 19,
};

// What the handler knows about a fault, read from the signal and the saved context.
struct FaultFacts {
  int signal = 0;
  int code = 0;  // si_code
  TrapVector trap = TrapVector::unknown;
  bool hasFpuState = false;
  std::uint16_t fpuControl = 0;
  std::uint16_t fpuStatus = 0;
  std::uint32_t mxcsr = 0;
  bool onStackGuard = false;           // the access hit the region below the program's stack
  bool privilegedInstruction = false;  // the faulting instruction is one only the kernel may run
};

struct FaultMapping {
  std::uint16_t number = 0;  // 0: not a fault this program handles
  bool floatingPoint = false;
};

FaultMapping mapFault(const FaultFacts& facts);

// Whether the instruction at code (legacy and REX prefixes allowed) may only run in kernel
// mode; reads no further than the opcode bytes.
bool isPrivilegedInstruction(const std::uint8_t* code);

}  // namespace qv
