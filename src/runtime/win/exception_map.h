// Which run-time error a Windows exception becomes. Kept apart from the handler so the mapping
// can be checked for exceptions that no test can provoke safely.
#pragma once

#include <cstdint>

#include "runtime/fault_errors.h"

namespace qv {

struct ExceptionFacts {
  std::uint32_t code = 0;  // the exception code
  // The floating-point state of the faulting context, for the codes that stand for several
  // exceptions at once (SSE traps reported as multiple faults or traps).
  std::uint16_t fpuControl = 0;
  std::uint16_t fpuStatus = 0;
  std::uint32_t mxcsr = 0;
};

FaultMapping mapException(const ExceptionFacts& facts);

}  // namespace qv
