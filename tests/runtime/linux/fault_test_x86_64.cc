// The faults of x86-64 code: integer division, the x87 unit's traps, an illegal and a privileged
// instruction, the trap flag and a breakpoint, each in a child process; and which run-time error
// the saved x87 and SSE state names when several flags are raised together.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>

#include "arithmetic/x86/x87_extended.h"
#include "process_scenario.h"
#include "runtime/linux/arithmetic_trap_x86_64.h"
#include "runtime/x86/fpu_state.h"
#include "runtime/x86/x86_faults.h"

namespace qv {

const char* const programFloatingPointState = "control=1372 status=0000 mxcsr=00001900";

std::string floatingPointState() {
  char text[64];
  std::snprintf(text, sizeof text, "control=%04X status=%04X mxcsr=%08X", currentFpuControl(),
                currentFpuStatus(), currentMxcsr());
  return text;
}

namespace {

const double minusOne = -1.0;

}  // namespace
}  // namespace qv

extern "C" {

// clang-format off
FAULTING_FUNCTION(qvX87Invalid,
    "fldl %0\n\tfsqrt\n\tfwait\n\tfstp %%st(0)" :: "m"(qv::minusOne) : "memory")
FAULTING_FUNCTION(qvBreakpoint, "int3")
// clang-format on

EXTENDED_ERRORS(X87Extended)

}  // extern "C"

namespace qv {
namespace {

TEST(X86FaultTest, NamesTheFaultingInstructionAndEachActiveCall) {
  // clang-format off
  const ReportCase cases[] = {
      {{qvIntegerDivide}, 200, faultIn("qvIntegerDivide")},
      {{qvX87Divide}, 200, faultIn("qvX87Divide")},
      {{qvX87Overflow}, 205, faultIn("qvX87Overflow")},
      {{qvX87Invalid}, 207, faultIn("qvX87Invalid")},
      {{qvX87ExtendedDivide}, 200, faultIn("qvX87ExtendedDivide")},
      {{qvX87ExtendedOverflow}, 205, faultIn("qvX87ExtendedOverflow")},
      {{qvX87ExtendedInvalid}, 207, faultIn("qvX87ExtendedInvalid")},
      {{qvX87ExtendedCompare}, 207, faultIn("qvX87ExtendedCompare")},
      {{qvIllegalInstruction}, 217, faultIn("qvIllegalInstruction")},
      {{qvPrivilegedInstruction}, 217, faultIn("qvPrivilegedInstruction")},
      // Resumed with the flag still set, the error path itself would trap at every step.
      {{qvSingleStep}, 217, faultIn("qvSingleStep")},
  };
  // clang-format on
  for (const ReportCase& c : cases) expectReport(c);
}

// A breakpoint is no fault of the program: its default action ends the process, as under no
// debugger it always has.
TEST(X86FaultTest, ABreakpointKeepsItsDefaultAction) {
  expectEnd({"breakpoint", {qvBreakpoint}, 128 + SIGTRAP, ""});
}

// A floating-point trap with both units as start-up leaves them, but for what is given.
FaultMapping fpTrap(TrapVector trap, std::uint16_t x87Status, std::uint32_t mxcsr = mxcsrSetting,
                    int control = fpuControlSetting, int code = FPE_FLTRES) {
  const FpuSnapshot fpu = {static_cast<std::uint16_t>(control), x87Status, mxcsr};
  return mapFault({.signal = SIGFPE, .code = code, .arithmetic = mapArithmeticTrap(trap, &fpu)});
}

TEST(X86FaultTest, TheSavedStateNamesTheFloatingPointError) {
  using enum TrapVector;
  // clang-format off
  struct Case { const char* what; FaultMapping mapping; std::uint16_t number; };
  const Case cases[] = {
      {"x87 invalid with inexact", fpTrap(x87Error, fpuInvalid | fpuPrecision), 207},
      {"x87 underflow flag while masked", fpTrap(x87Error, fpuUnderflow | fpuZeroDivide), 200},
      {"x87 inexact alone", fpTrap(x87Error, fpuPrecision), 0},
      {"x87 unmasked underflow",
       fpTrap(x87Error, fpuUnderflow, mxcsrSetting, fpuControlSetting & ~fpuUnderflow), 206},
      {"simd masked flag left over",
       fpTrap(simdError, 0, (0x1F80 & ~0x0400) | fpuPrecision | fpuOverflow), 205},
      {"simd without fpu state",
       mapFault({.signal = SIGFPE,
                 .code = FPE_FLTUND,
                 .arithmetic = mapArithmeticTrap(simdError, nullptr)}),
       206},
  };
  // clang-format on
  for (const Case& c : cases) {
    EXPECT_EQ(c.mapping.number, c.number) << c.what;
    EXPECT_EQ(c.mapping.floatingPoint, c.number != 0) << c.what;
  }
}

}  // namespace
}  // namespace qv
