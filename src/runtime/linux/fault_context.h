// The processor's side of fault handling: what the register context saved with a signal tells
// about the fault, and how the faulting thread is sent on. Each processor has its own file
// (fault_context_x86_64.cc, fault_context_aarch64.cc); the signal handling around it is the
// same for all.
#pragma once

#include <signal.h>
#include <ucontext.h>

#include <cstdint>

#include "runtime/linux/fault_map.h"

namespace qv {

std::uintptr_t stackPointerAt(const ucontext_t& context);
const void* framePointerAt(const ucontext_t& context);

// Adds to the facts what the saved context tells beyond the signal and its code.
void readProcessorFacts(FaultFacts& facts, const siginfo_t& info, const ucontext_t& context);

// The instruction that faulted, which is not always the one the context would resume at.
const void* faultingInstruction(const ucontext_t& context);

// Clears in the context what would raise the same floating-point fault again as soon as the
// thread goes on.
void clearPendingFpuFaults(ucontext_t& context);

// Sends the thread on into target, on a stack below stackTop, as if the instruction at
// returnAddress had called it: the back-trace walk and debuggers see the faulting code as the
// caller.
void redirectAsCall(ucontext_t& context, std::uintptr_t stackTop, void (*target)(),
                    const void* returnAddress);

}  // namespace qv
