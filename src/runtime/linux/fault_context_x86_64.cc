#include <signal.h>
#include <ucontext.h>

#include "runtime/linux/arithmetic_trap_x86_64.h"
#include "runtime/linux/fault_context.h"
#include "runtime/x86/fpu_state.h"
#include "runtime/x86/privileged_instruction.h"

namespace qv {
namespace {

constexpr greg_t trapFlag = 0x100;  // EFLAGS.TF: a debug trap after every instruction

std::uintptr_t greg(const ucontext_t& context, int reg) {
  return static_cast<std::uintptr_t>(context.uc_mcontext.gregs[reg]);
}

void setGreg(ucontext_t& context, int reg, std::uintptr_t value) {
  context.uc_mcontext.gregs[reg] = static_cast<greg_t>(value);
}

TrapVector trapOf(const ucontext_t& context) {
  return static_cast<TrapVector>(context.uc_mcontext.gregs[REG_TRAPNO]);
}

}  // namespace

std::uintptr_t stackPointerAt(const ucontext_t& context) {
  return greg(context, REG_RSP);
}

const void* framePointerAt(const ucontext_t& context) {
  return reinterpret_cast<const void*>(greg(context, REG_RBP));
}

void readProcessorFacts(FaultFacts& facts, const siginfo_t& info, const ucontext_t& context) {
  const TrapVector trap = trapOf(context);
  if (facts.signal == SIGFPE) {
    const auto* fpu = context.uc_mcontext.fpregs;
    const FpuSnapshot snapshot =
        fpu != nullptr ? FpuSnapshot{fpu->cwd, fpu->swd, fpu->mxcsr} : FpuSnapshot{};
    facts.arithmetic = mapArithmeticTrap(trap, fpu != nullptr ? &snapshot : nullptr);
  }
  if (facts.signal == SIGSEGV) {
    // A general-protection fault carries no address; the instruction itself tells.
    facts.privilegedInstruction =
        info.si_code == SI_KERNEL && trap == TrapVector::generalProtection &&
        isPrivilegedInstruction(reinterpret_cast<const std::uint8_t*>(greg(context, REG_RIP)));
  }
}

// An x87 fault is reported at the next x87 instruction; the unit remembers the one at fault.
const void* faultingInstruction(const ucontext_t& context) {
  const auto* fpu = context.uc_mcontext.fpregs;
  if (trapOf(context) == TrapVector::x87Error && fpu != nullptr && fpu->rip != 0) {
    return reinterpret_cast<const void*>(fpu->rip);
  }
  return reinterpret_cast<const void*>(greg(context, REG_RIP));
}

// Left set, the flags would raise the same fault again at the first floating-point
// instruction after the return.
void clearPendingFpuFaults(ucontext_t& context) {
  auto* fpu = context.uc_mcontext.fpregs;
  if (fpu == nullptr) return;
  fpu->swd &= static_cast<std::uint16_t>(~fpuPendingStatus);
  fpu->cwd = fpuControlSetting;
  fpu->mxcsr = mxcsrSetting;
}

// The return address goes on the stack, where a call would have pushed it. The trap flag is
// cleared: left set after a single step, it would trap again at the first instruction of the
// error path and at every one after it, until the process died of it.
void redirectAsCall(ucontext_t& context, std::uintptr_t stackTop, void (*target)(),
                    const void* returnAddress) {
  const std::uintptr_t sp = (stackTop & ~std::uintptr_t{15}) - sizeof(std::uintptr_t);
  *reinterpret_cast<const void**>(sp) = returnAddress;
  setGreg(context, REG_RSP, sp);
  setGreg(context, REG_RIP, reinterpret_cast<std::uintptr_t>(target));
  context.uc_mcontext.gregs[REG_EFL] &= ~trapFlag;
}

}  // namespace qv
