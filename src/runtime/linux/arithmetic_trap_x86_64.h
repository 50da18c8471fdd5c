// Which run-time error an x86-64 arithmetic trap is. The kernel folds a denormal operand into
// underflow and cannot tell an unmasked flag from a masked one, so the trap vector and the
// floating-point state saved with the signal decide where they are available.
#pragma once

#include <cstdint>

#include "runtime/linux/fault_map.h"

namespace qv {

// The processor's exception vectors that matter here (the kernel reports them as trapno).
enum class TrapVector : long {
  divideError = 0,
  generalProtection = 13,
  x87Error = 16,
  simdError = 19,
};

// The x87 control and status words and MXCSR as the signal saved them.
struct FpuSnapshot {
  std::uint16_t control = 0;
  std::uint16_t status = 0;
  std::uint32_t mxcsr = 0;
};

// number 0 when the vector and state name no error; fpu is absent when none was saved.
FaultMapping mapArithmeticTrap(TrapVector trap, const FpuSnapshot* fpu);

}  // namespace qv
