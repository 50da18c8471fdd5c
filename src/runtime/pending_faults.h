// What the fault handlers of every platform share once a fault is taken as the program's own:
// the faults recorded and not yet raised, the stack the run-time error is raised on, and the
// way out of the handler. The handler records the fault and sends the faulting thread on to
// resumeAfterFault as if the faulting instruction had called it; the error is raised there,
// outside the signal or exception dispatch, so the report and the end are the ordinary ones.
#pragma once

#include <cstdint>

#include "runtime/fault_handler.h"

namespace qv {

// Only while pendingFaultCount() < maxPendingFaults; the fault takes slot pendingFaultCount().
void recordFault(const PendingFault& fault);

// Where the run-time error is raised: just below the faulting code's stack pointer, as if the
// faulting instruction had made a call, while that leaves enough of the stack above stackLow;
// after a stack overflow, or without the room, at the top of a stack of its own. Not aligned:
// the caller aligns it as its processor's calls do.
std::uintptr_t resumeStackTop(std::uintptr_t faultSp, std::uintptr_t stackLow, bool overflow);

// Raises the run-time error of the fault recorded last, with the floating-point unit back in
// the program's mode after a floating-point fault.
[[noreturn]] void resumeAfterFault();

void forgetPendingFaults();

}  // namespace qv
