// The screen side of the Windows console: the ScreenGrid the console draws into, brought to the
// real screen buffer in batches (present): whole-screen scroll-ups as one native scroll, then
// the changed rows as one WriteConsoleOutputA per band of rows, then the cursor. A statement, a
// line or a character therefore never costs a console call of its own.
#pragma once

#include <windows.h>

#include <optional>
#include <vector>

#include "console/screen_grid.h"

namespace qv {

class ConsoleScreen {
 public:
  // How far the console may lag behind the grid while the program keeps drawing.
  static constexpr DWORD presentIntervalMs = 16;

  // A grid of the screen buffer's size, holding what the buffer holds now.
  void open(HANDLE output, ConsoleCoord size);
  void close();
  bool isOpen() const { return grid_.has_value(); }
  ScreenGrid& grid() { return *grid_; }

  // Everything that changed goes to the console now.
  void present();
  // The same, once the last present is more than presentIntervalMs old; cheap otherwise.
  void presentIfDue();
  // Blanks a rectangle with the fill cell: the console fills it itself (whole rows in one call
  // each for characters and attributes), cheaper than rewriting every cell. The grid follows.
  void clearNatively(ConsoleRect area, ConsoleCell fill);

 private:
  void readBuffer();
  void writeRows(int first, int count);

  HANDLE output_ = INVALID_HANDLE_VALUE;
  std::optional<ScreenGrid> grid_;
  std::vector<CHAR_INFO> staging_;
  ConsoleCoord shownCursor_{-1, -1};
  DWORD lastPresent_ = 0;
};

}  // namespace qv
