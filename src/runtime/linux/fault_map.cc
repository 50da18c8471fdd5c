#include "runtime/linux/fault_map.h"

#include <csignal>

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

}  // namespace

FaultMapping mapFault(const FaultFacts& facts) {
  switch (facts.signal) {
    case SIGFPE:
      return facts.arithmetic.number != 0 ? facts.arithmetic : mapArithmeticCode(facts.code);
    case SIGSEGV:
      if (facts.onStackGuard) return {errorStackOverflow, false};
      if (facts.privilegedInstruction) return {errorBadInstruction, false};
      return {errorAccessViolation, false};
    case SIGILL:
    case SIGBUS:
      return {errorBadInstruction, false};
    case SIGTRAP:
      // A single step is a fault of the program; a breakpoint is left to its default action,
      // as a debugger would expect.
      return facts.code == TRAP_TRACE ? FaultMapping{errorBadInstruction, false} : FaultMapping{};
    default:
      return {};
  }
}

}  // namespace qv
