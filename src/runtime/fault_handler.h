// Processor faults as run-time errors: signal handlers on Linux, a vectored exception handler
// and an unhandled-exception filter on Windows. The handler only records the fault and sends
// the faulting thread on to resumeAfterFault, which raises the run-time error outside the
// handler, so the report and the end are the ordinary ones. Faults that are not mapped keep
// the system's default handling.
#pragma once

#include <cstdint>

namespace qv {

struct PendingFault {
  const void* address;  // the faulting instruction
  std::uint16_t number;
  bool floatingPoint;
  const void* frame;         // the faulting code's frame (call_stack.h): the walk starts there
  const void* stackPointer;  // the faulting code's stack pointer: the lowest frame it may have
};

inline constexpr int maxPendingFaults = 16;

// stackTop is start-up's own frame: the program's stack lies below it.
void installFaultHandling(const void* stackTop);
void removeFaultHandling();

int pendingFaultCount();
// Removes the handlers and forgets pending faults (for tests).
void resetFaultHandling();

}  // namespace qv
