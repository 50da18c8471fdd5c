#include "arithmetic/soft_extended.h"

#include "runtime/call_stack.h"
#include "runtime/fault_errors.h"
#include "runtime/fpu_control.h"
#include "runtime/run_error.h"

namespace qv {
// Several exceptions of one operation: the most fundamental one names it, as for the x87's.
__attribute__((noinline)) void signalExtendedFlags(std::uint8_t flags) {
  const unsigned trapped = flags & ~softFpuControl() & fpuExceptionFlags;
  if (trapped == 0) return;
  std::uint16_t number = errorFloatOverflow;
  if (trapped & soft::invalidFlag) {
    number = errorInvalidOperation;
  } else if (trapped & soft::zeroDivideFlag) {
    number = errorDivisionByZero;
  }
  raiseRunError(number, codeAddress(__builtin_return_address(0)), frameOfCallersCaller());
}

}  // namespace qv
