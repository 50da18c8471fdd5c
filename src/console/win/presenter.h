// What presents the grid on the Windows console: the grid brought to the real screen buffer
// in frames.
// Whole-screen scroll-ups go as one native scroll, then the changed rows: runs of blank rows as
// two fills, the others as one WriteConsoleOutputA per band of rows; then the cursor.
#pragma once

#include <windows.h>

#include <vector>

#include "console/screen_grid.h"

namespace qv {

class WindowsPresenter {
 public:
  // Whole-screen scroll-ups a frame may carry (the grid's log).
  static constexpr int scrollLogRows = 64;

  // The screen buffer output; its size and cursor as the console reports them.
  bool open(HANDLE output, ConsoleCoord& size, ConsoleCoord& cursor, WORD& attributes);
  // The grid takes what the buffer holds now: the first output continues where the console's
  // cursor stood, and rows written whole must keep what was there.
  void load(ScreenGrid& grid);
  void present(ScreenGrid& grid);

 private:
  int rowsPerCall(int columns);  // and staging_ big enough for them
  void writeRows(const ScreenGrid& grid, int first, int count);
  void fillRows(const ScreenGrid& grid, int first, int count);
  void showTop();

  HANDLE output_ = INVALID_HANDLE_VALUE;
  std::vector<CHAR_INFO> staging_;
  ConsoleCoord shownCursor_{-1, -1};
};

}  // namespace qv
