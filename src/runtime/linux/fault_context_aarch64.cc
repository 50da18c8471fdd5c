#include <signal.h>
#include <ucontext.h>

#include "runtime/linux/fault_context.h"

namespace qv {
namespace {

constexpr int framePointer = 29;  // x29
constexpr int linkRegister = 30;  // x30

}  // namespace

std::uintptr_t stackPointerAt(const ucontext_t& context) {
  return context.uc_mcontext.sp;
}

const void* framePointerAt(const ucontext_t& context) {
  return reinterpret_cast<const void*>(context.uc_mcontext.regs[framePointer]);
}

// Nothing to add: a privileged instruction raises SIGILL here, an integer division by zero
// gives zero without a trap, and the cores raise no floating-point traps.
void readProcessorFacts(FaultFacts&, const siginfo_t&, const ucontext_t&) {}

const void* faultingInstruction(const ucontext_t& context) {
  return reinterpret_cast<const void*>(context.uc_mcontext.pc);
}

// No exception stays pending in the unit; resumeAfterFault loads the control and clears the
// status.
void clearPendingFpuFaults(ucontext_t&) {}

// A call leaves its return address in the link register; the called function's own prologue
// stores it in its frame record beside the faulting code's frame pointer.
void redirectAsCall(ucontext_t& context, std::uintptr_t stackTop, void (*target)(),
                    const void* returnAddress) {
  context.uc_mcontext.sp = stackTop & ~std::uintptr_t{15};
  context.uc_mcontext.regs[linkRegister] = reinterpret_cast<std::uintptr_t>(returnAddress);
  context.uc_mcontext.pc = reinterpret_cast<std::uintptr_t>(target);
}

}  // namespace qv
