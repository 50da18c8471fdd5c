// What the terminal can do, from its terminfo description (ncurses' libtinfo), the way
// well-kept terminal programs learn it: the entry that TERM names, so that every terminal gets
// its own sequences, colours as far as it has them, and its own key strings.
#pragma once

#include <optional>

#include "console/terminal/capabilities.h"

namespace qv {

// The description of the terminal that TERM names, for the terminal on fd; nothing when TERM
// is unset or names no entry (the caller then uses the xterm set).
std::optional<TerminalCapabilities> readTerminfo(int fd);

}  // namespace qv
