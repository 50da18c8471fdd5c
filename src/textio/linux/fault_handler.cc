#include "textio/fault_handler.h"

#include <signal.h>
#include <sys/resource.h>
#include <ucontext.h>

#include <csignal>
#include <cstddef>
#include <iterator>

#include "textio/call_stack.h"
#include "textio/linux/fault_map.h"
#include "textio/x86/privileged_instruction.h"
#include "textio/fpu_control.h"
#include "textio/run_error.h"

#if !defined(__x86_64__)
#error "the fault handling reads and redirects x86-64 signal contexts"
#endif

namespace qv {
namespace {

constexpr int faultSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGTRAP};
constexpr int faultSignalCount = static_cast<int>(std::size(faultSignals));

// Below this much free stack, the run-time error is raised on the recovery stack instead.
constexpr std::uintptr_t minimumHeadroom = 64 * 1024;
// The kernel keeps a gap below a growing stack; a fault there is still an overflow.
constexpr std::uintptr_t guardGap = 2 * 1024 * 1024;
constexpr std::uintptr_t largestStack = std::uintptr_t{1} << 30;
// The area just below the stack pointer that leaf code may use without moving it.
constexpr std::uintptr_t redZone = 128;

alignas(16) std::uint8_t signalStack[64 * 1024];
alignas(16) std::uint8_t recoveryStack[256 * 1024];

PendingFault pendingFaults[maxPendingFaults];
volatile std::sig_atomic_t pendingCount = 0;
std::uintptr_t stackTop = 0;
std::uintptr_t stackReserve = 0;
struct sigaction previousActions[faultSignalCount];
bool installed = false;

std::uintptr_t greg(const ucontext_t& context, int reg) {
  return static_cast<std::uintptr_t>(context.uc_mcontext.gregs[reg]);
}

void setGreg(ucontext_t& context, int reg, std::uintptr_t value) {
  context.uc_mcontext.gregs[reg] = static_cast<greg_t>(value);
}

bool onProgramStack(std::uintptr_t address) {
  return address < stackTop && address + stackReserve + guardGap >= stackTop;
}

// Where the run-time error is raised: just below the faulting code's stack (as if the faulting
// instruction had made a call) when there is room, else at the top of the recovery stack.
std::uintptr_t resumeStackPointer(std::uintptr_t faultSp, bool overflow) {
  std::uintptr_t sp = faultSp - redZone;
  const bool roomy = !overflow && sp > stackTop - stackReserve + minimumHeadroom;
  if (!roomy) sp = reinterpret_cast<std::uintptr_t>(recoveryStack + sizeof recoveryStack);
  return (sp & ~std::uintptr_t{15}) - sizeof(std::uintptr_t);
}

[[noreturn]] void resumeAfterFault() {
  if (pendingCount == 0) terminateProgram();  // nothing recorded: cannot happen
  pendingCount = pendingCount - 1;
  const PendingFault fault = pendingFaults[pendingCount];
  if (fault.floatingPoint) loadFpuControl();
  setWalkFloor(fault.stackPointer);
  raiseRunError(fault.number, codeAddress(fault.address), fault.frame);
}

FaultFacts gatherFacts(int signal, const siginfo_t& info, ucontext_t& context) {
  FaultFacts facts;
  facts.signal = signal;
  facts.code = info.si_code;
  facts.trap = static_cast<TrapVector>(context.uc_mcontext.gregs[REG_TRAPNO]);
  if (const auto* fpu = context.uc_mcontext.fpregs) {
    facts.hasFpuState = true;
    facts.fpuControl = fpu->cwd;
    facts.fpuStatus = fpu->swd;
    facts.mxcsr = fpu->mxcsr;
  }
  if (signal == SIGSEGV) {
    facts.onStackGuard = onProgramStack(reinterpret_cast<std::uintptr_t>(info.si_addr));
    // A general-protection fault carries no address; the instruction itself tells.
    facts.privilegedInstruction =
        info.si_code == SI_KERNEL && facts.trap == TrapVector::generalProtection &&
        isPrivilegedInstruction(reinterpret_cast<const std::uint8_t*>(greg(context, REG_RIP)));
  }
  return facts;
}

// An x87 fault is reported at the next x87 instruction; the unit remembers the one at fault.
// A breakpoint is reported after the instruction.
const void* faultingInstruction(const FaultFacts& facts, ucontext_t& context) {
  const std::uintptr_t pc = greg(context, REG_RIP);
  if (facts.trap == TrapVector::x87Error && context.uc_mcontext.fpregs != nullptr &&
      context.uc_mcontext.fpregs->rip != 0) {
    return reinterpret_cast<const void*>(context.uc_mcontext.fpregs->rip);
  }
  if (facts.signal == SIGTRAP && facts.trap == TrapVector::breakpoint) {
    return reinterpret_cast<const void*>(pc - 1);
  }
  return reinterpret_cast<const void*>(pc);
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

// Leaves the signal to its default action: delivered as soon as the handler returns. Nothing
// of the program runs after that, so the terminal is put back here.
void passOn(int signal) {
  runEmergencyRestore();
  struct sigaction action = {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
  raise(signal);
}

void faultFilter(int signal, siginfo_t* info, void* rawContext) {
  auto& context = *static_cast<ucontext_t*>(rawContext);
  // A signal sent by another process is no fault of this one.
  if (info->si_code <= 0) return passOn(signal);
  const FaultFacts facts = gatherFacts(signal, *info, context);
  const FaultMapping mapping = mapFault(facts);
  if (mapping.number == 0) return passOn(signal);
  if (terminationStarted()) endAtOnce(mapping.number);
  // Only faults on the program's own stack can be resumed; with no room left to record the
  // fault there is nothing sound to resume with either.
  const std::uintptr_t faultSp = greg(context, REG_RSP);
  if (!onProgramStack(faultSp) || pendingCount >= maxPendingFaults) return passOn(signal);

  const void* address = faultingInstruction(facts, context);
  pendingFaults[pendingCount] = {address, mapping.number, mapping.floatingPoint,
                                 reinterpret_cast<const void*>(greg(context, REG_RBP)),
                                 reinterpret_cast<const void*>(faultSp)};
  pendingCount = pendingCount + 1;
  if (mapping.floatingPoint) clearPendingFpuFaults(context);

  const std::uintptr_t sp = resumeStackPointer(faultSp, mapping.number == errorStackOverflow);
  *reinterpret_cast<const void**>(sp) = address;  // a return address for the walk and debuggers
  setGreg(context, REG_RSP, sp);
  setGreg(context, REG_RIP, reinterpret_cast<std::uintptr_t>(&resumeAfterFault));
}

std::uintptr_t stackLimit() {
  struct rlimit limit = {};
  if (getrlimit(RLIMIT_STACK, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
      limit.rlim_cur > largestStack) {
    return largestStack;
  }
  return limit.rlim_cur;
}

}  // namespace

void installFaultHandling(const void* top) {
  stackTop = reinterpret_cast<std::uintptr_t>(top);
  stackReserve = stackLimit();
  codeAddress(nullptr);  // settles the load address now rather than after a fault

  stack_t alternate = {};
  alternate.ss_sp = signalStack;
  alternate.ss_size = sizeof signalStack;
  sigaltstack(&alternate, nullptr);

  struct sigaction action = {};
  action.sa_sigaction = faultFilter;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigemptyset(&action.sa_mask);
  for (int signal : faultSignals) sigaddset(&action.sa_mask, signal);
  for (int i = 0; i < faultSignalCount; ++i) {
    sigaction(faultSignals[i], &action, &previousActions[i]);
  }
  installed = true;
}

void removeFaultHandling() {
  if (!installed) return;
  for (int i = 0; i < faultSignalCount; ++i) {
    sigaction(faultSignals[i], &previousActions[i], nullptr);
  }
  stack_t disabled = {};
  disabled.ss_flags = SS_DISABLE;
  sigaltstack(&disabled, nullptr);
  installed = false;
}

int pendingFaultCount() {
  return pendingCount;
}

void resetFaultHandling() {
  removeFaultHandling();
  pendingCount = 0;
  stackTop = 0;
  stackReserve = 0;
}

}  // namespace qv
