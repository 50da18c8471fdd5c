// The faults of 32-bit PC code: an integer division by zero, the x87 unit's traps through the
// Extended type, and an illegal instruction, each in a child process. The signal's own code
// names each error here; the back-trace comes from the unwinder.
#include <gtest/gtest.h>

#include <cstdio>

#include "arithmetic/x86/x87_extended.h"
#include "process_scenario.h"
#include "runtime/x86/fpu_state.h"

namespace qv {

const char* const programFloatingPointState = "control=1372 status=0000";

std::string floatingPointState() {
  char text[64];
  std::snprintf(text, sizeof text, "control=%04X status=%04X", currentFpuControl(),
                currentFpuStatus());
  return text;
}

}  // namespace qv

extern "C" {

// clang-format off
FAULTING_FUNCTION(qvIntegerDivide,
    "xor %%ecx, %%ecx\n\txor %%edx, %%edx\n\tmov $1, %%eax\n\tdiv %%ecx" ::: "eax", "ecx", "edx")
FAULTING_FUNCTION(qvIllegalInstruction, "ud2")
// clang-format on

EXTENDED_ERRORS(X87Extended)

}  // extern "C"

namespace qv {
namespace {

TEST(I386FaultTest, NamesTheFaultingInstructionAndEachActiveCall) {
  // clang-format off
  const ReportCase cases[] = {
      {{qvIntegerDivide}, 200, faultIn("qvIntegerDivide")},
      {{qvX87ExtendedDivide}, 200, faultIn("qvX87ExtendedDivide")},
      {{qvX87ExtendedOverflow}, 205, faultIn("qvX87ExtendedOverflow")},
      {{qvX87ExtendedInvalid}, 207, faultIn("qvX87ExtendedInvalid")},
      {{qvX87ExtendedCompare}, 207, faultIn("qvX87ExtendedCompare")},
      {{qvIllegalInstruction}, 217, faultIn("qvIllegalInstruction")},
  };
  // clang-format on
  for (const ReportCase& c : cases) expectReport(c);
}

}  // namespace
}  // namespace qv
