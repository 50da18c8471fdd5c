// Faults in WebAssembly: a trap (an access out of bounds, an unreachable instruction) ends the
// module at once and cannot be resumed, so there is nothing to install. Integer division by
// zero traps too; the extended arithmetic in integers raises 200, 205 and 207 itself.
#include "runtime/fault_handler.h"

#include "runtime/pending_faults.h"

namespace qv {

void installFaultHandling(const void*) {}

void removeFaultHandling() {}

void resetFaultHandling() {
  forgetPendingFaults();
}

}  // namespace qv
