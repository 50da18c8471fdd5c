// The console of the system the program runs on: a grid console over the platform's device (a
// terminal on Linux, the Windows console, a terminal in a web page).
#pragma once

#include "console/console_device.h"

namespace qv {

// Installs it as the console platform. Nothing touches the device until start-up asks for it.
void useSystemConsole();

// The platform's device, living as long as the process (each platform's device.cc).
ConsoleDevice& systemConsoleDevice();

}  // namespace qv
