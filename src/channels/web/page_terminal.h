// The terminal in the page the program runs in (a browser tab): where standard output, standard
// error and the console's frames go. Under node there is none.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qv {

bool pageTerminalPresent();
// Hands the bytes (UTF-8 text and escape sequences) to the terminal, which takes them all.
void pageTerminalWrite(const std::uint8_t* bytes, std::size_t count);

}  // namespace qv
