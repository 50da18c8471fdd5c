#include "runtime/linux/arithmetic_trap_x86_64.h"

#include "runtime/x86/float_faults.h"
#include "runtime/x86/fpu_state.h"

namespace qv {

FaultMapping mapArithmeticTrap(TrapVector trap, const FpuSnapshot* fpu) {
  if (trap == TrapVector::divideError) return {errorDivisionByZero, false};
  if (fpu != nullptr && trap == TrapVector::x87Error) {
    return mapFloatFlags(fpu->status & ~fpu->control & fpuExceptionFlags);
  }
  if (fpu != nullptr && trap == TrapVector::simdError) {
    return mapFloatFlags(fpu->mxcsr & ~(fpu->mxcsr >> mxcsrMaskShift) & fpuExceptionFlags);
  }
  return {};
}

}  // namespace qv
