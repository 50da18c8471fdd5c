#include "textio/linux/fault_map.h"

#include <csignal>

#include "textio/fpu_control.h"
#include "textio/x86/float_faults.h"

namespace qv {
namespace {

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
