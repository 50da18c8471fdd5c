// Where libgcc's unwinder cannot read the kernel's signal frame (32-bit ARM has no rule for
// it), a fault on the program's stack is raised from the faulting code itself: the thread is
// sent on into a call from the faulting instruction, and the back-trace is taken from there
// (fault_call_arm.cc).
#pragma once

#include <ucontext.h>

namespace qv {

// Sends the thread on into a routine that calls raiseCalledFault with the address it would
// return to, as if the faulting instruction had called it; the faulting code's registers are
// kept for the unwinder.
void sendOnAsCall(ucontext_t& context);

// Raises the fault the handler recorded (fault_handler_unwind.cc); returnAddress is the
// faulting frame's, as the unwinder will see it.
[[noreturn]] void raiseCalledFault(const void* returnAddress);

}  // namespace qv
