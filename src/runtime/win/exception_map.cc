#include "runtime/win/exception_map.h"

#include "runtime/x86/float_faults.h"
#include "runtime/x86/fpu_state.h"

namespace qv {
namespace {

// The exception codes (NTSTATUS values) of the faults the program reports.
enum ExceptionCode : std::uint32_t {
  singleStep = 0x80000004,
  accessViolation = 0xC0000005,
  inPageError = 0xC0000006,
  illegalInstruction = 0xC000001D,
  arrayBoundsExceeded = 0xC000008C,
  floatDenormalOperand = 0xC000008D,
  floatDivideByZero = 0xC000008E,
  floatInvalidOperation = 0xC0000090,
  floatOverflow = 0xC0000091,
  floatStackCheck = 0xC0000092,
  floatUnderflow = 0xC0000093,
  integerDivideByZero = 0xC0000094,
  integerOverflow = 0xC0000095,
  privilegedInstruction = 0xC0000096,
  stackOverflow = 0xC00000FD,
  floatMultipleFaults = 0xC00002B4,
  floatMultipleTraps = 0xC00002B5,
};

// An SSE exception that Windows did not name: the context's MXCSR (then the x87 unit) tells.
FaultMapping mapMultipleFloatExceptions(const ExceptionFacts& facts) {
  FaultMapping mapping =
      mapFloatFlags(facts.mxcsr & ~(facts.mxcsr >> mxcsrMaskShift) & fpuExceptionFlags);
  if (mapping.number == 0) {
    mapping = mapFloatFlags(facts.fpuStatus & ~facts.fpuControl & fpuExceptionFlags);
  }
  return mapping.number != 0 ? mapping : FaultMapping{errorInvalidOperation, true};
}

}  // namespace

FaultMapping mapException(const ExceptionFacts& facts) {
  switch (facts.code) {
    case singleStep:
    case inPageError:
    case illegalInstruction:
    case privilegedInstruction:
      return {errorBadInstruction, false};
    case accessViolation:
      return {errorAccessViolation, false};
    case arrayBoundsExceeded:
      return {errorRangeCheck, false};
    case floatDenormalOperand:
      return {errorAccessViolation, true};
    case floatDivideByZero:
      return {errorDivisionByZero, true};
    case floatInvalidOperation:
    case floatStackCheck:
      return {errorInvalidOperation, true};
    case floatOverflow:
      return {errorFloatOverflow, true};
    case floatUnderflow:
      return {errorFloatUnderflow, true};
    case integerDivideByZero:
      return {errorDivisionByZero, false};
    case integerOverflow:
      return {errorIntegerOverflow, false};
    case stackOverflow:
      return {errorStackOverflow, false};
    case floatMultipleFaults:
    case floatMultipleTraps:
      return mapMultipleFloatExceptions(facts);
    default:
      return {};
  }
}

}  // namespace qv
