#include "runtime/x86/float_faults.h"

#include "runtime/fpu_control.h"

namespace qv {

FaultMapping mapFloatFlags(unsigned unmaskedFlags) {
  if (unmaskedFlags & fpuInvalid) return {errorInvalidOperation, true};
  if (unmaskedFlags & fpuZeroDivide) return {errorDivisionByZero, true};
  if (unmaskedFlags & fpuOverflow) return {errorFloatOverflow, true};
  if (unmaskedFlags & fpuUnderflow) return {errorFloatUnderflow, true};
  // A denormal operand shares its number with an access violation.
  if (unmaskedFlags & fpuDenormal) return {errorAccessViolation, true};
  return {};
}

}  // namespace qv
