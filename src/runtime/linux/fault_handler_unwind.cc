// Faults on a processor without code of its own here: the signal's own code names the run-time
// error, and libgcc's unwinder, which reads the signal frame the kernel left, finds the faulting
// instruction and the back-trace from it. The error is then raised from the handler itself,
// with the fault signals unblocked again and the floating-point unit back in the program's mode:
// nothing is resumed, so no register context has to be read or changed.
#include <signal.h>
#include <sys/resource.h>
#include <ucontext.h>
#include <unistd.h>

#include <csignal>
#include <cstddef>
#include <iterator>

#include "runtime/fault_handler.h"
#include "runtime/fpu_control.h"
#include "runtime/linux/fault_map.h"
#include "runtime/linux/unwind_trace.h"
#include "runtime/pending_faults.h"
#include "runtime/run_error.h"

namespace qv {
namespace {

constexpr int faultSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGTRAP};
constexpr int faultSignalCount = static_cast<int>(std::size(faultSignals));

// The kernel keeps a gap below a growing stack; a fault there is still an overflow.
constexpr std::uintptr_t guardGap = 2 * 1024 * 1024;
constexpr std::uintptr_t largestStack = std::uintptr_t{1} << 30;

// The error path runs here after a fault, the report and the terminal's restore included.
alignas(16) std::uint8_t signalStack[256 * 1024];

std::uintptr_t stackTop = 0;
std::uintptr_t stackReserve = 0;
struct sigaction previousActions[faultSignalCount];
bool installed = false;
CapturedStack faultStack;

// A write this far below the stack pointer is the stack growing into what lies below it.
constexpr std::uintptr_t largestFrame = 64 * 1024;

bool onProgramStack(std::uintptr_t address) {
  return address < stackTop && address + stackReserve + guardGap >= stackTop;
}

// Where the stack may grow without a limit (make raises it so for the programs it starts), it
// meets another mapping far below any reserve: the access just below the faulting code's stack
// pointer tells the overflow then.
bool belowStackPointer(std::uintptr_t address) {
  const std::uintptr_t sp = faultStack.faultingStack;
  return sp != 0 && address < sp && address + largestFrame >= sp;
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

// Where the unwinder cannot read the signal frame (32-bit ARM's unwinder has no rule for it;
// ppc64's knows the kernel's return code, which qemu-user does not copy), the saved context
// names the instruction there, and elsewhere the kernel's fault address is the instruction
// for every fault but an access to memory; the back-trace is then empty.
const void* faultingInstruction(int signal, const siginfo_t& info, const void* context) {
  if (faultStack.faultingInstruction != 0) {
    return reinterpret_cast<const void*>(faultStack.faultingInstruction);
  }
#if defined(__arm__) || defined(__powerpc64__)
  (void)signal;
  (void)info;
  const auto& saved = static_cast<const ucontext_t*>(context)->uc_mcontext;
#if defined(__arm__)
  return reinterpret_cast<const void*>(saved.arm_pc);
#else
  return reinterpret_cast<const void*>(saved.gp_regs[PT_NIP]);
#endif
#else
  (void)context;
  return signal == SIGSEGV || signal == SIGBUS ? nullptr : info.si_addr;
#endif
}

void faultFilter(int signal, siginfo_t* info, void* context) {
  // A signal sent by another process is no fault of this one.
  if (info->si_code <= 0) return passOn(signal);
  const bool memoryAccess = signal == SIGSEGV || signal == SIGBUS;
  captureStack(faultStack, memoryAccess ? nullptr : info->si_addr, true);
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
  recordFault({address, mapping.number, mapping.floatingPoint, &faultStack, nullptr});

  sigset_t faults;
  sigemptyset(&faults);
  for (int fault : faultSignals) sigaddset(&faults, fault);
  sigprocmask(SIG_UNBLOCK, &faults, nullptr);
  loadFpuControl();
  resumeAfterFault();
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
  // The unwinder finds and reads the unwind tables on its first use: now, not in a handler.
  captureStack(faultStack, nullptr, false);

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

void resetFaultHandling() {
  removeFaultHandling();
  forgetPendingFaults();
  stackTop = 0;
  stackReserve = 0;
}

}  // namespace qv
