// The console of the system the program runs on: the terminal on Linux
// (linux/terminal_console.h), the console API on Windows (win/windows_console.h).
#pragma once

namespace qv {

// Installs it as the console platform. Nothing touches the console until start-up asks for it.
void useSystemConsole();

}  // namespace qv
