// Which run-time error a Linux signal becomes. Kept apart from the signal handling so the
// mapping can be checked for faults that no test can provoke safely.
#pragma once

#include <cstdint>

#include "runtime/fault_errors.h"

namespace qv {

// What the handler knows about a fault, read from the signal and the saved context.
struct FaultFacts {
  int signal = 0;
  int code = 0;                        // si_code
  bool onStackGuard = false;           // the access hit the region below the program's stack
  bool privilegedInstruction = false;  // the faulting instruction is one only the kernel may run
  // What the processor's saved state tells about an arithmetic fault, where it tells more than
  // the signal's code; number 0 when it tells nothing.
  FaultMapping arithmetic = {};
};

FaultMapping mapFault(const FaultFacts& facts);

}  // namespace qv
