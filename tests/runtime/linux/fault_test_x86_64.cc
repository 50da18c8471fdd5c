// The faults of x86-64 code, each in a child process: integer division, the x87 and SSE units'
// traps, an illegal and a privileged instruction, the trap flag and a breakpoint.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>

#include "arithmetic/x86/x87_extended.h"
#include "process_scenario.h"
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
      {{qvSseInvalid}, 207, faultIn("qvSseInvalid")},
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

}  // namespace
}  // namespace qv
