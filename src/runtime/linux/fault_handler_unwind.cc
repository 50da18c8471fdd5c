// Faults on a processor without code of its own here: the signal's own code names the run-time
// error, and libgcc's unwinder, which reads the signal frame the kernel left, finds the faulting
// instruction and the back-trace from it. The error is then raised from the handler itself,
// with the fault signals unblocked again and the floating-point unit back in the program's mode:
// nothing is resumed, so no register context has to be read or changed.
#include <signal.h>
#include <ucontext.h>

#include <cstdint>

#include "runtime/fault_errors.h"
#include "runtime/fault_handler.h"
#include "runtime/fpu_control.h"
#include "runtime/linux/fault_call.h"
#include "runtime/linux/fault_map.h"
#include "runtime/linux/fault_signals.h"
#include "runtime/linux/unwind_trace.h"
#include "runtime/pending_faults.h"
#include "runtime/run_error.h"

namespace qv {
namespace {

// The error path runs here after a fault, the report and the terminal's restore included.
alignas(16) std::uint8_t signalStack[256 * 1024];

CapturedStack faultStack;
PendingFault calledFault;  // what raiseCalledFault raises

// A write this far below the stack pointer is the stack growing into what lies below it.
constexpr std::uintptr_t largestFrame = 64 * 1024;

// Where the stack may grow without a limit (make raises it so for the programs it starts), it
// meets another mapping far below any reserve: the access just below the faulting code's stack
// pointer tells the overflow then.
bool belowStackPointer(std::uintptr_t address) {
  const std::uintptr_t sp = faultStack.faultingStack;
  return sp != 0 && address < sp && sp - address <= largestFrame;
}

// The instruction the signal interrupted, as the saved context names it, on the processors
// whose context is read here (nullptr elsewhere). It finds the interrupted frame where the
// unwinder does not mark it (mips), and names the instruction where the unwinder cannot read the
// signal frame (32-bit ARM's has no rule for it; ppc64's does not know qemu-user's).
const void* savedInstruction(const void* context) {
  const auto& saved = static_cast<const ucontext_t*>(context)->uc_mcontext;
#if defined(__arm__)
  return reinterpret_cast<const void*>(saved.arm_pc);
#elif defined(__powerpc64__)
  return reinterpret_cast<const void*>(saved.gp_regs[PT_NIP]);
#elif defined(__mips__)
  return reinterpret_cast<const void*>(saved.pc);
#else
  (void)saved;
  return nullptr;
#endif
}

// Elsewhere the kernel's fault address is the instruction for every fault but an access to
// memory; the back-trace is then empty.
const void* faultingInstruction(int signal, const siginfo_t& info, const void* context) {
  if (faultStack.faultingInstruction != 0) {
    return reinterpret_cast<const void*>(faultStack.faultingInstruction);
  }
  if (const void* saved = savedInstruction(context)) return saved;
  return signal == SIGSEGV || signal == SIGBUS ? nullptr : info.si_addr;
}

void faultFilter(int signal, siginfo_t* info, void* context) {
  // A signal sent by another process is no fault of this one.
  if (info->si_code <= 0) return passOn(signal);
  const bool memoryAccess = signal == SIGSEGV || signal == SIGBUS;
  const void* saved = savedInstruction(context);
  captureStack(faultStack, saved != nullptr ? saved : memoryAccess ? nullptr : info->si_addr, true);
  FaultFacts facts;
  facts.signal = signal;
  facts.code = info->si_code;
  if (signal == SIGSEGV) {
    const auto at = reinterpret_cast<std::uintptr_t>(info->si_addr);
    facts.onStackGuard = onProgramStack(at) || belowStackPointer(at);
  }
  const FaultMapping mapping = mapFault(facts);
  if (mapping.number == 0) return passOn(signal);
  if (terminationStarted()) endAtOnce(mapping.number);
  if (pendingFaultCount() >= maxPendingFaults) return passOn(signal);

  const void* address = faultingInstruction(signal, *info, context);
  // An address of 0 would read as no error at all.
  if (address == nullptr) address = reinterpret_cast<const void*>(1);
  const PendingFault fault{address, mapping.number, mapping.floatingPoint, &faultStack, nullptr};
#if defined(__arm__)
  // An overflow leaves no stack to make the call on.
  const auto& registers = static_cast<ucontext_t*>(context)->uc_mcontext;
  if (mapping.number != errorStackOverflow && onProgramStack(registers.arm_sp)) {
    calledFault = fault;
    return sendOnAsCall(*static_cast<ucontext_t*>(context));
  }
#endif
  recordFault(fault);

  unblockFaultSignals();
  loadFpuControl();
  resumeAfterFault();
}

}  // namespace

void raiseCalledFault(const void* returnAddress) {
  captureStack(faultStack, returnAddress, false);
  recordFault(calledFault);
  loadFpuControl();
  resumeAfterFault();
}

void installFaultHandling(const void* top) {
  // The unwinder finds and reads the unwind tables on its first use: now, not in a handler.
  captureStack(faultStack, nullptr, false);
  installFaultSignals(top, faultFilter, signalStack, sizeof signalStack);
}

}  // namespace qv
