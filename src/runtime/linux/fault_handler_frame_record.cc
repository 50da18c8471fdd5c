#include <signal.h>
#include <ucontext.h>

#include <cstdint>

#include "runtime/fault_handler.h"
#include "runtime/linux/fault_context.h"
#include "runtime/linux/fault_map.h"
#include "runtime/linux/fault_signals.h"
#include "runtime/pending_faults.h"
#include "runtime/run_error.h"

namespace qv {
namespace {

alignas(16) std::uint8_t signalStack[64 * 1024];

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
  redirectAsCall(context, resumeStackTop(faultSp, programStackLow(), overflow), resumeAfterFault,
                 address);
}

}  // namespace

void installFaultHandling(const void* top) {
  installFaultSignals(top, faultFilter, signalStack, sizeof signalStack);
}

}  // namespace qv
