// A terminal's size, and after a resize where its cursor went: rows may have come down from
// its scrollback, or output on its way may have moved the cursor for the old size.
#pragma once

#include "console/linux/keyboard.h"
#include "console/linux/presenter.h"

namespace qv {

struct TtySize {
  int columns;
  int rows;
};

// False when the terminal does not say (or says 0).
bool readTtySize(int fd, TtySize& size);

// Once the size has settled (no new one for a while), reads it and, when askCursor, asks the
// terminal where its cursor went (0-based; -1 when not known). The answer counts only when no
// new size came between reading the size and the answer: then the answer came from a terminal
// of that size (its size and its screen change together). Otherwise the size is read and the
// cursor asked again. False when no size could be read.
bool readSettledSize(TtyPresenter& presenter, TtyKeyboard& keyboard, bool askCursor, TtySize& size,
                     int& row, int& column);

}  // namespace qv
