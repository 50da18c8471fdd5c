#include "textio/linux/fault_map.h"

#include <csignal>

#include "textio/fpu_control.h"

namespace qv {
namespace {

// Several exceptions may be raised by one instruction; the most fundamental one names it.
FaultMapping mapFloatFlags(unsigned unmaskedFlags) {
  if (unmaskedFlags & fpuInvalid) return {errorInvalidOperation, true};
  if (unmaskedFlags & fpuZeroDivide) return {errorDivisionByZero, true};
  if (unmaskedFlags & fpuOverflow) return {errorFloatOverflow, true};
  if (unmaskedFlags & fpuUnderflow) return {errorFloatUnderflow, true};
  // A denormal operand shares its number with an access violation.
  if (unmaskedFlags & fpuDenormal) return {errorAccessViolation, true};
  return {};  // an inexact result alone is not a fault of this program
}

FaultMapping mapArithmeticCode(int code) {
  switch (code) {
    case FPE_INTDIV:
      return {errorDivisionByZero, false};
    case FPE_INTOVF:
      return {errorIntegerOverflow, false};
    case FPE_FLTDIV:
      return {errorDivisionByZero, true};
    case FPE_FLTOVF:
      return {errorFloatOverflow, true};
    case FPE_FLTUND:
      return {errorFloatUnderflow, true};
    case FPE_FLTINV:
      return {errorInvalidOperation, true};
    case FPE_FLTSUB:
      return {errorRangeCheck, false};
    default:
      return {};
  }
}

// The kernel folds denormal into underflow and cannot tell an unmasked flag from a masked
// one, so the saved status decides where it is available.
FaultMapping mapArithmeticFault(const FaultFacts& facts) {
  if (facts.trap == TrapVector::divideError) return {errorDivisionByZero, false};
  FaultMapping mapping;
  if (facts.hasFpuState && facts.trap == TrapVector::x87Error) {
    mapping = mapFloatFlags(facts.fpuStatus & ~facts.fpuControl & fpuExceptionFlags);
  } else if (facts.hasFpuState && facts.trap == TrapVector::simdError) {
    mapping = mapFloatFlags(facts.mxcsr & ~(facts.mxcsr >> mxcsrMaskShift) & fpuExceptionFlags);
  }
  return mapping.number != 0 ? mapping : mapArithmeticCode(facts.code);
}

}  // namespace

FaultMapping mapFault(const FaultFacts& facts) {
  switch (facts.signal) {
    case SIGFPE:
      return mapArithmeticFault(facts);
    case SIGSEGV:
      if (facts.onStackGuard) return {errorStackOverflow, false};
      if (facts.privilegedInstruction) return {errorBadInstruction, false};
      return {errorAccessViolation, false};
    case SIGILL:
    case SIGBUS:
    case SIGTRAP:
      return {errorBadInstruction, false};
    default:
      return {};
  }
}

}  // namespace qv
