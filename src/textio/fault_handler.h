// Processor faults as run-time errors. Signal handlers stand in for an unhandled-exception
// filter: the handler only records the fault and sends the faulting thread on to
// resumeAfterFault, which raises the run-time error outside the handler, so the report and the
// end are the ordinary ones. Signals that are not mapped keep their default action.
#pragma once

#include <cstdint>

namespace qv {

struct PendingFault {
  const void* address;  // the faulting instruction
  std::uint16_t number;
  bool floatingPoint;
  const void* frame;         // the faulting code's frame pointer: the back-trace starts there
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
