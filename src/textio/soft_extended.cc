#include "textio/soft_extended.h"

#include "textio/call_stack.h"
#include "textio/fault_errors.h"
#include "textio/run_error.h"

namespace qv {
namespace {

// The x87's own start: every exception masked.
constexpr std::uint16_t maskedControl = 0x037F;

std::uint16_t control = maskedControl;

}  // namespace

void loadSoftExtendedControl(std::uint16_t newControl) {
  control = newControl;
}

std::uint16_t softExtendedControl() {
  return control;
}

// Several exceptions of one operation: the most fundamental one names it, as for the x87's.
__attribute__((noinline)) void signalExtendedFlags(std::uint8_t flags) {
  const unsigned trapped = flags & ~control & fpuExceptionFlags;
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
