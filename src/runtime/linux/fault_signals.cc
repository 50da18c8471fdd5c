#include "runtime/linux/fault_signals.h"

#include <sys/resource.h>

#include <csignal>
#include <iterator>

#include "runtime/fault_handler.h"
#include "runtime/pending_faults.h"
#include "runtime/run_error.h"

namespace qv {
namespace {

constexpr int faultSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGTRAP};
constexpr int faultSignalCount = static_cast<int>(std::size(faultSignals));

// The kernel keeps a gap below a growing stack; a fault there is still an overflow.
constexpr std::uintptr_t guardGap = 2 * 1024 * 1024;
constexpr std::uintptr_t largestStack = std::uintptr_t{1} << 30;

std::uintptr_t stackTop = 0;
std::uintptr_t stackReserve = 0;
struct sigaction previousActions[faultSignalCount];
bool installed = false;

std::uintptr_t stackLimit() {
  struct rlimit limit = {};
  if (getrlimit(RLIMIT_STACK, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
      limit.rlim_cur > largestStack) {
    return largestStack;
  }
  return limit.rlim_cur;
}

sigset_t faultSignalSet() {
  sigset_t set;
  sigemptyset(&set);
  for (int signal : faultSignals) sigaddset(&set, signal);
  return set;
}

}  // namespace

void installFaultSignals(const void* top, FaultSignalHandler handler, void* alternateStack,
                         std::size_t alternateSize) {
  stackTop = reinterpret_cast<std::uintptr_t>(top);
  stackReserve = stackLimit();
  codeAddress(nullptr);  // settles the load address now rather than after a fault

  stack_t alternate = {};
  alternate.ss_sp = alternateStack;
  alternate.ss_size = alternateSize;
  sigaltstack(&alternate, nullptr);

  struct sigaction action = {};
  action.sa_sigaction = handler;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  action.sa_mask = faultSignalSet();
  for (int i = 0; i < faultSignalCount; ++i) {
    sigaction(faultSignals[i], &action, &previousActions[i]);
  }
  installed = true;
}

bool faultSignalsInstalled() {
  return installed;
}

// Distances, not sums: on a 32-bit processor the stack sits near the top of the address space,
// where address + reserve would wrap.
bool onProgramStack(std::uintptr_t address) {
  return address < stackTop && stackTop - address <= stackReserve + guardGap;
}

std::uintptr_t programStackLow() {
  return stackTop - stackReserve;
}

void passOn(int signal) {
  runEmergencyRestore();
  struct sigaction action = {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
  raise(signal);
}

void unblockFaultSignals() {
  const sigset_t faults = faultSignalSet();
  sigprocmask(SIG_UNBLOCK, &faults, nullptr);
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
