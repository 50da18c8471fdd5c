#include <signal.h>
#include <sys/resource.h>
#include <ucontext.h>

#include <csignal>
#include <cstddef>
#include <iterator>

#include "runtime/fault_handler.h"
#include "runtime/linux/fault_context.h"
#include "runtime/linux/fault_map.h"
#include "runtime/pending_faults.h"
#include "runtime/run_error.h"

namespace qv {
namespace {

constexpr int faultSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGTRAP};
constexpr int faultSignalCount = static_cast<int>(std::size(faultSignals));

// The kernel keeps a gap below a growing stack; a fault there is still an overflow.
constexpr std::uintptr_t guardGap = 2 * 1024 * 1024;
constexpr std::uintptr_t largestStack = std::uintptr_t{1} << 30;

alignas(16) std::uint8_t signalStack[64 * 1024];

std::uintptr_t stackTop = 0;
std::uintptr_t stackReserve = 0;
struct sigaction previousActions[faultSignalCount];
bool installed = false;

bool onProgramStack(std::uintptr_t address) {
  return address < stackTop && address + stackReserve + guardGap >= stackTop;
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
  if (!onProgramStack(faultSp) || pendingFaultCount() >= maxPendingFaults) {
    return passOn(signal);
  }

  const void* address = faultingInstruction(context);
  recordFault({address, mapping.number, mapping.floatingPoint, framePointerAt(context),
               reinterpret_cast<const void*>(faultSp)});
  if (mapping.floatingPoint) clearPendingFpuFaults(context);

  const bool overflow = mapping.number == errorStackOverflow;
  redirectAsCall(context, resumeStackTop(faultSp, stackTop - stackReserve, overflow),
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

void resetFaultHandling() {
  removeFaultHandling();
  forgetPendingFaults();
  stackTop = 0;
  stackReserve = 0;
}

}  // namespace qv
