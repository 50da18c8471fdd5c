// Job control on a terminal: the signals that end the program, and waiting until its process
// group has the terminal in the foreground.
#pragma once

#include "console/console_device.h"
#include "console/linux/modes.h"

namespace qv {

// An interrupt, a hang-up, a termination request and the like: the one end path, no report,
// and then the end by that very signal.
DeviceEvent endBySignal(int signalNumber, DeviceEvent::Kind kind = DeviceEvent::Kind::end);
// A terminal that went away ends the program as the hang-up signal would have: by SIGHUP, or
// with its exit status when SIGHUP is ignored (nohup), since there is nothing left to talk to.
DeviceEvent hangUp();
// Returns once the program's process group has the terminal: a job continued in the background
// (bg) stops again, the way a program that writes to its terminal from the background is
// stopped, until it is brought to the foreground. An ending signal that arrives meanwhile (kill
// %1 on a stopped job) is returned instead.
DeviceEvent waitForForeground(const TtyModes& modes);

}  // namespace qv
