#include "runtime/pending_faults.h"

#include <csignal>

#include "runtime/call_stack.h"
#include "runtime/fpu_control.h"
#include "runtime/run_error.h"

namespace qv {
namespace {

// Below this much free stack, the run-time error is raised on the recovery stack instead.
constexpr std::uintptr_t minimumHeadroom = 64 * 1024;
// Left untouched below the faulting code's stack pointer: what leaf code may use there without
// moving it (the red zone), and the home area a Windows callee may write above its return
// address.
constexpr std::uintptr_t redZone = 128;

alignas(16) std::uint8_t recoveryStack[256 * 1024];

PendingFault pendingFaults[maxPendingFaults];
volatile std::sig_atomic_t pendingCount = 0;

}  // namespace

void recordFault(const PendingFault& fault) {
  pendingFaults[pendingCount] = fault;
  pendingCount = pendingCount + 1;
}

std::uintptr_t resumeStackTop(std::uintptr_t faultSp, std::uintptr_t stackLow, bool overflow) {
  const std::uintptr_t top = faultSp - redZone;
  const bool roomy = !overflow && top > stackLow + minimumHeadroom;
  return roomy ? top : reinterpret_cast<std::uintptr_t>(recoveryStack + sizeof recoveryStack);
}

[[noreturn]] void resumeAfterFault() {
  if (pendingCount == 0) terminateProgram();  // nothing recorded: cannot happen
  pendingCount = pendingCount - 1;
  const PendingFault fault = pendingFaults[pendingCount];
  if (fault.floatingPoint) loadFpuControl();
  setWalkFloor(fault.stackPointer);
  raiseRunError(fault.number, codeAddress(fault.address), fault.frame);
}

int pendingFaultCount() {
  return pendingCount;
}

void forgetPendingFaults() {
  pendingCount = 0;
}

}  // namespace qv
