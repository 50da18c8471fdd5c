#include "textio/fault_handler.h"

#include <signal.h>
#include <sys/resource.h>
#include <ucontext.h>

#include <csignal>
#include <cstddef>
#include <iterator>

#include "textio/call_stack.h"
#include "textio/fpu_control.h"
#include "textio/linux/fault_context.h"
#include "textio/linux/fault_map.h"
#include "textio/run_error.h"

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

bool onProgramStack(std::uintptr_t address) {
  return address < stackTop && address + stackReserve + guardGap >= stackTop;
}

// Where the run-time error is raised: just below the faulting code's stack (as if the faulting
// instruction had made a call) when there is room, else at the top of the recovery stack.
std::uintptr_t resumeStackTop(std::uintptr_t faultSp, bool overflow) {
  const std::uintptr_t top = faultSp - redZone;
  const bool roomy = !overflow && top > stackTop - stackReserve + minimumHeadroom;
  return roomy ? top : reinterpret_cast<std::uintptr_t>(recoveryStack + sizeof recoveryStack);
}

[[noreturn]] void resumeAfterFault() {
  if (pendingCount == 0) terminateProgram();  // nothing recorded: cannot happen
  pendingCount = pendingCount - 1;
  const PendingFault fault = pendingFaults[pendingCount];
  if (fault.floatingPoint) loadFpuControl();
  setWalkFloor(fault.stackPointer);
  raiseRunError(fault.number, codeAddress(fault.address), fault.frame);
}

FaultFacts gatherFacts(int signal, const siginfo_t& info, const ucontext_t& context) {
  FaultFacts facts;
  facts.signal = signal;
  facts.code = info.si_code;
  if (signal == SIGSEGV) {
    facts.onStackGuard = onProgramStack(reinterpret_cast<std::uintptr_t>(info.si_addr));
  }
  readProcessorFacts(facts, info, context);
  return facts;
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
  const std::uintptr_t faultSp = stackPointerAt(context);
  if (!onProgramStack(faultSp) || pendingCount >= maxPendingFaults) return passOn(signal);

  const void* address = faultingInstruction(context);
  pendingFaults[pendingCount] = {address, mapping.number, mapping.floatingPoint,
                                 framePointerAt(context), reinterpret_cast<const void*>(faultSp)};
  pendingCount = pendingCount + 1;
  if (mapping.floatingPoint) clearPendingFpuFaults(context);

  redirectAsCall(context, resumeStackTop(faultSp, mapping.number == errorStackOverflow),
                 resumeAfterFault, address);
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
