// The renderer: what the terminal should show is a ScreenGrid; what it shows is the renderer's
// own copy. render() appends the escape sequences that turn the one into the other.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "console/screen_grid.h"

namespace qv {

class Renderer {
 public:
  // Without colours every cell is drawn in the terminal's own colours (NO_COLOR).
  Renderer(int terminalColumns, int terminalRows, bool colours = true);

  // Appends the bytes that bring the terminal to the grid (cells, colours, cursor), and rows
  // that scrolled off the grid's top into the terminal's scrollback. The caller then calls
  // grid.clearChanges().
  void render(const ScreenGrid& grid, std::string& out);
  // What the terminal shows is unknown (start, resume, resize): the next render repaints.
  void invalidate();
  // The terminal has a new size. Only the part of it that the largest screen buffer can cover
  // is tracked; the rest is kept blank.
  void resize(int terminalColumns, int terminalRows);

  // Once, at start-up, before begin(): the rows above the terminal's cursor (what the shell
  // showed) scroll into its scrollback instead of being painted over.
  void scrollAwayDisplay(std::string& out);

  // At start and on resume: puts the terminal in the state render() relies on (no auto-wrap,
  // no scroll margins) and the keypad in application mode. The next render repaints.
  void begin(std::string& out);
  // On the way out: colours reset, auto-wrap and the numeric keypad back on, the cursor shown
  // at the console cursor, so that whatever follows appears in the terminal's own colours
  // where the dialogue stopped.
  void end(const ScreenGrid& grid, std::string& out);
  // What end() sends besides placing the cursor: the terminal's own modes back. Alone when
  // where the terminal's cursor stands is not known or not the program's business.
  void restoreModes(std::string& out);

 private:
  struct View {  // the part of the grid the terminal shows, from its top-left cell
    int top, left, rows, columns;
  };
  View viewFor(const ScreenGrid& grid) const;
  void scrollIntoScrollback(const ScreenGrid& grid, const View& view, std::string& out);
  std::span<const ConsoleCell> sequenceRow(const ScreenGrid& grid, long index) const;
  const ConsoleCell* wantedRow(std::span<const ConsoleCell> source, const View& view);
  void syncRow(int row, std::span<const ConsoleCell> source, const View& view, std::string& out);
  void eraseToEnd(ConsoleCell blank, ConsoleCell* shown, int count, std::string& out);
  void shiftUp(int count);
  void placeCursor(const ScreenGrid& grid, const View& view, std::string& out);
  void moveTo(int row, int column, std::string& out);
  void setPen(std::uint8_t attribute, std::string& out);
  void hideCursor(std::string& out);

  bool colours_;
  int terminalColumns_ = 1;
  int terminalRows_ = 1;
  int columns_ = 1;  // the part of the terminal that is tracked
  int rows_ = 1;
  std::vector<ConsoleCell> shown_;   // what the terminal shows, row after row
  std::vector<ConsoleCell> wanted_;  // one row as it is to be shown, when the grid's won't do
  std::vector<std::uint8_t> known_;  // per row: shown_ is what the terminal shows
  bool compareAll_ = true;           // rows no longer line up with the grid's change flags
  bool belowKnown_ = false;          // the rows below the tracked part are blank
  int viewTop_ = 0;
  int viewLeft_ = 0;
  int cursorRow_ = -1;  // where the terminal's cursor stands; -1 when unknown
  int cursorColumn_ = -1;
  int pen_ = -1;  // the attribute the terminal draws in; -1 when unknown
  enum class Visibility { unknown, shown, hidden } cursorVisibility_ = Visibility::unknown;
};

}  // namespace qv
