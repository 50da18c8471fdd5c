// Whether a terminal emulator shows a screen grid the way the renderer promises: the part of the
// grid that holds the console cursor, at the cursor, in the console's colours, and black beyond
// the grid on a larger terminal. Shared by the renderer's test and its fuzz target.
#pragma once

#include <algorithm>
#include <string>

#include "console/screen_grid.h"
#include "console/terminal/cp437.h"
#include "support/vterm_screen.h"

namespace qv {

// True when the terminal cell shows the grid cell. Console colour bit 0 is blue, the terminal's
// is red.
inline bool shows(const VtermCell& shown, ConsoleCell cell) {
  constexpr int terminalColour[8] = {0, 4, 2, 6, 1, 5, 3, 7};
  const std::uint8_t a = cell.attribute;
  const char32_t glyph = shown.chars.empty() ? U' ' : shown.chars[0];
  return glyph == cp437CodePoint(cell.character) && shown.chars.size() <= 1 && !shown.reverse &&
         shown.fg == terminalColour[a & 7] + ((a & 0x08) ? 8 : 0) &&
         shown.bg == terminalColour[(a >> 4) & 7] + ((a & 0x80) ? 8 : 0);
}

// "" when the terminal shows the grid, else the first thing that differs. A cursor outside the
// grid stands at the grid's nearest cell.
inline std::string differenceOnTerminal(const ScreenGrid& grid, const VtermScreen& term) {
  const VtermCursor cursor = term.cursor();
  const int top = std::clamp<int>(grid.cursor().y, 0, grid.rows() - 1) - cursor.row;
  const int left = std::clamp<int>(grid.cursor().x, 0, grid.columns() - 1) - cursor.col;
  const int rows = std::min(term.rows(), grid.rows());
  const int columns = std::min(term.cols(), grid.columns());
  if (!cursor.visible) return "cursor hidden";
  if (top < 0 || left < 0 || top > grid.rows() - rows || left > grid.columns() - columns) {
    return "the cursor puts the view outside the grid";
  }
  for (int r = 0; r < term.rows(); ++r) {
    for (int c = 0; c < term.cols(); ++c) {
      const bool inside = r < rows && c < columns;
      if (!shows(term.cell(r, c), inside ? grid.cell(left + c, top + r) : ConsoleCell{' ', 0})) {
        return "terminal cell " + std::to_string(r) + "," + std::to_string(c);
      }
    }
  }
  return {};
}

}  // namespace qv
