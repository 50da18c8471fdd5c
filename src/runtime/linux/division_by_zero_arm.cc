// 32-bit ARM has no division instruction everywhere Debian runs it: a division is a call to
// libgcc's routine, which on a zero divisor calls __aeabi_idiv0 (__aeabi_ldiv0 for 64 bits).
// The ARM run-time ABI lets a program supply these; libgcc's would raise SIGFPE as if sent by
// another process, which is no fault the handler may take. Here it is run-time error 200 at the
// division, as where the processor traps it. The link takes these over libgcc's (CMakeLists.txt
// names them undefined from the start).
#include <csignal>
#include <cstdint>

#include "runtime/fault_errors.h"
#include "runtime/fault_handler.h"
#include "runtime/linux/fault_signals.h"
#include "runtime/linux/unwind_trace.h"
#include "runtime/pending_faults.h"
#include "runtime/run_error.h"

namespace qv {
namespace {

CapturedStack divisionStack;

// A direct call is one 4-byte instruction in both ARM and Thumb code.
constexpr std::uintptr_t callLength = 4;

// The division routine branches here without a call of its own, so returnAddress is the
// division's, in the code that divided. Returns when no error can be raised: the quotient is then
// the routine's.
__attribute__((noinline)) void raiseDivisionByZero(const void* returnAddress) {
  if (!faultSignalsInstalled()) {
    raise(SIGFPE);
    return;
  }
  if (terminationStarted()) endAtOnce(errorDivisionByZero);
  if (pendingFaultCount() >= maxPendingFaults) return;
  captureStack(divisionStack, returnAddress, false);
  const auto call =
      (reinterpret_cast<std::uintptr_t>(returnAddress) & ~std::uintptr_t{1}) - callLength;
  recordFault(
      {reinterpret_cast<const void*>(call), errorDivisionByZero, false, &divisionStack, nullptr});
  resumeAfterFault();
}

}  // namespace
}  // namespace qv

extern "C" int __aeabi_idiv0(int quotient) {
  qv::raiseDivisionByZero(__builtin_return_address(0));
  return quotient;
}

extern "C" long long __aeabi_ldiv0(long long quotient) {
  qv::raiseDivisionByZero(__builtin_return_address(0));
  return quotient;
}
