// Ctrl-C, Ctrl-Break, a closed console window, log-off and shut-down. Windows calls the control
// handler on a thread of its own; the handler only records the event and wakes the program,
// which ends itself through its one end path at the next safe point, the console put back.
// Should the program not get there in time (it is blocked reading a pipe), the handler puts the
// console back and ends the process itself.
#pragma once

#include <windows.h>

namespace qv::consoleControl {

// The status a console program ended by its control events ends with, as the system's own
// handler gives it (cmd shows it as ^C).
inline constexpr UINT endStatus = 0xC000013A;  // STATUS_CONTROL_C_EXIT

// restore puts the console back; it is called from the handler's thread only when the program
// did not end in time.
bool install(void (*restore)());
void uninstall();
// Signalled when an event arrives: wait on it beside the console input.
HANDLE wakeEvent();
// True once an event that ends the program has arrived.
bool endRequested();

}  // namespace qv::consoleControl
