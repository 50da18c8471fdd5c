// The console platform on a real terminal: a ScreenGrid rendered with escape sequences, keys
// decoded from the keyboard in raw mode (or from a pipe or a file as typed text).
#pragma once

namespace qv {

// Installs the terminal as the console platform. Nothing touches the terminal until the
// console asks for it at start-up.
void useTerminalConsole();

}  // namespace qv
