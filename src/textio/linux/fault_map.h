// Which run-time error a Linux signal becomes. Kept apart from the signal handling so the
// mapping can be checked for faults that no test can provoke safely.
#pragma once

#include <cstdint>

#include "textio/fault_errors.h"

namespace qv {

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

FaultMapping mapFault(const FaultFacts& facts);

}  // namespace qv
