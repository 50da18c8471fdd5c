// The signal side that both ways of taking a fault share (fault_handler_frame_record.cc,
// fault_handler_unwind.cc): which signals are faults, where the program's stack lies, the
// alternate stack the handler runs on, and handing a signal back to its default action.
#pragma once

#include <signal.h>

#include <cstddef>
#include <cstdint>

namespace qv {

using FaultSignalHandler = void (*)(int signal, siginfo_t* info, void* context);

// Installs handler for every fault signal, on the alternate stack given, with the fault
// signals blocked while it runs; stackTop is start-up's frame.
void installFaultSignals(const void* stackTop, FaultSignalHandler handler, void* alternateStack,
                         std::size_t alternateSize);

bool faultSignalsInstalled();

// Whether the address lies in the program's stack, or in the gap the kernel keeps below it.
bool onProgramStack(std::uintptr_t address);
// The lowest address the program's stack may grow to.
std::uintptr_t programStackLow();

// Leaves the signal to its default action, delivered as soon as the handler returns; the
// terminal is put back first, since nothing of the program runs after that.
void passOn(int signal);

// Lets the fault signals through again, for an error path that leaves the handler for good.
void unblockFaultSignals();

}  // namespace qv
