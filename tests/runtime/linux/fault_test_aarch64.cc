// The faults of aarch64 code, each in a child process: an illegal and a privileged
// instruction, and a breakpoint. (Integer division by zero gives zero without a trap here, and
// the cores raise no floating-point traps: the program's own arithmetic reports those errors.)
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>

#include "process_scenario.h"
#include "runtime/arm64/fpu_state.h"

namespace qv {

const char* const programFloatingPointState = "fpcr=00000000 fpsr=00000000";

std::string floatingPointState() {
  char text[64];
  std::snprintf(text, sizeof text, "fpcr=%08X fpsr=%08X", currentFpcr(), currentFpsr());
  return text;
}

}  // namespace qv

extern "C" {

FAULTING_FUNCTION(qvIllegalInstruction, "udf #0")
// The system control register is the kernel's: reading it is undefined for the program.
FAULTING_FUNCTION(qvPrivilegedInstruction, "mrs x0, sctlr_el1" ::: "x0")
FAULTING_FUNCTION(qvBreakpoint, "brk #0")

}  // extern "C"

namespace qv {
namespace {

TEST(Aarch64FaultTest, NamesTheFaultingInstructionAndEachActiveCall) {
  expectReport({{qvIllegalInstruction}, 217, faultIn("qvIllegalInstruction")});
  expectReport({{qvPrivilegedInstruction}, 217, faultIn("qvPrivilegedInstruction")});
}

// A breakpoint is no fault of the program: its default action ends the process.
TEST(Aarch64FaultTest, ABreakpointKeepsItsDefaultAction) {
  expectEnd({"breakpoint", {qvBreakpoint}, 128 + SIGTRAP, ""});
}

}  // namespace
}  // namespace qv
