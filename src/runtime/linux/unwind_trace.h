// Back-traces taken with libgcc's unwinder, for the processors whose faults and stack walk go
// through it (call_stack_walk_unwind.cc, fault_handler_unwind.cc).
#pragma once

#include <cstdint>

namespace qv {

struct CapturedStack {
  // The report writes at most 257 frame lines; one more tells that the walk was cut.
  static constexpr int capacity = 258;
  int count = 0;
  std::uintptr_t faultingInstruction = 0;  // for a fault: the instruction that faulted, or 0
  std::uintptr_t faultingStack = 0;        // and the stack pointer there, as the signal saved it
  const void* returnAddresses[capacity];
};

// The return addresses of the active calls, innermost first, to the main program's return into
// start-up. Without faulting, the frames up to the one whose address is after are left out;
// with it, those up to the frame a signal interrupted, whose instruction is recorded (after is
// then the kernel's fault address of a fault that is not an access to memory, or nullptr). Safe in
// a signal handler once the unwinder has run once (installFaultHandling runs it).
void captureStack(CapturedStack& stack, const void* after, bool faulting);

}  // namespace qv
