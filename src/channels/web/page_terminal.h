// The terminal in the page the program runs in (a browser tab): where standard output, standard
// error and the console's frames go. Under node there is none.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qv {

bool pageTerminalPresent();
// Hands the bytes (UTF-8 text and escape sequences) to the terminal, which takes them all.
void pageTerminalWrite(const std::uint8_t* bytes, std::size_t count);
// The bytes handed over that the terminal has not parsed yet (it parses while the browser has
// its thread).
double pageTerminalUnparsed();

}  // namespace qv
