// Which run-time error the unmasked exception flags of an x87 or SSE fault name, whatever the
// operating system reports the fault as.
#pragma once

#include "runtime/fault_errors.h"

namespace qv {

// Several exceptions may be raised by one instruction; the most fundamental one names it. An
// inexact result alone names none (number 0).
FaultMapping mapFloatFlags(unsigned unmaskedFlags);

}  // namespace qv
