// The renderer: what the terminal should show is a ScreenGrid; what it shows is the renderer's
// own copy. render() appends the escape sequences that turn the one into the other, in the
// terminal's own sequences (TerminalCapabilities).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "console/screen_grid.h"
#include "console/terminal/capabilities.h"

namespace qv {

// What a terminal's presenter asks of a renderer: the one below for a terminal with cursor
// addressing, the teletype one (teletype.h) for a terminal without.
class FrameRenderer {
 public:
  virtual ~FrameRenderer() = default;
  // Appends the bytes that bring the terminal to the grid. The caller then calls
  // grid.clearChanges().
  virtual void render(const ScreenGrid& grid, std::string& out) = 0;
  // What the terminal shows is unknown (start, resume): the next render repaints.
  virtual void invalidate() = 0;
  // The terminal has a new size, and its cursor was found at cursorRow, cursorColumn (-1: not
  // known). Returns how many rows of the grid's top the terminal has put into its scrollback
  // beyond those a terminal moves there to keep the cursor's row (see ScreenGrid::resize).
  virtual int resize(int terminalColumns, int terminalRows, int cursorRow, int cursorColumn) = 0;
  // Once, at start-up, before enter(): what the shell showed scrolls into the scrollback.
  virtual void scrollShownRowsAway(std::string& out) = 0;
  // Instead of enter() when the terminal comes back after another program had it (Ctrl-Z,
  // fg), at the size it has now: what it shows above its cursor (the dialogue's rows that are
  // still there, the shell's lines below them) scrolls into its scrollback, in the order
  // written, and the dialogue goes on from the grid's cursor row at the top. Returns how many
  // rows of the grid's top are in the scrollback now and must leave the grid.
  virtual int resume(const ScreenGrid& grid, int columns, int rows, std::string& out) = 0;
  // At start and on resume: the terminal in the state render() relies on. The next render
  // repaints.
  virtual void enter(std::string& out) = 0;
  // On the way out: the last frame's end, the terminal's own modes back, a fresh line where
  // the dialogue stopped.
  virtual void leave(const ScreenGrid& grid, std::string& out) = 0;
  // The terminal's own modes back, alone: where its cursor stands is not known.
  virtual void restoreModes(std::string& out) = 0;
  // The terminal draws glyphs of ambiguous width two cells wide: from the next render on, each
  // is drawn as its narrow stand-in, so that every cell stays in its column.
  virtual void narrowAmbiguousGlyphs() {}
  // The line being edited is this text followed by the grid's row `row` (where it goes on), not
  // what the grid shows above that row (see ConsolePlatform::lineOutOfStep). Only a renderer
  // that prints lines needs to know.
  virtual void lineOutOfStep(const ScreenGrid&, int /*row*/, std::span<const std::uint8_t>) {}
};

class Renderer final : public FrameRenderer {
 public:
  // Without colours every cell is drawn in the terminal's own colours (NO_COLOR).
  Renderer(int terminalColumns, int terminalRows, bool colours = true);
  Renderer(int terminalColumns, int terminalRows, TerminalCapabilities capabilities);

  // Rows that scrolled off the grid's top go into the terminal's scrollback, as the terminal's
  // own scrolling carries them: line feeds at its bottom row, each row written there after its
  // line feed, as cat would; only rows that changed in place are addressed absolutely.
  void render(const ScreenGrid& grid, std::string& out) override;
  void invalidate() override;
  // Only the part of the terminal that the largest screen buffer can cover is tracked; the rest
  // is kept blank. A cursor found lower than expected means rows came down from the terminal's
  // scrollback (a terminal that grows pulls them back) or line feeds on their way moved it: the
  // next render sends as many back up, from the bottom row. Either way the next render paints
  // every row again: bytes laid out for the old size may have landed on the new one.
  int resize(int terminalColumns, int terminalRows, int cursorRow = -1,
             int cursorColumn = -1) override;

  // The rows above the terminal's cursor scroll into its scrollback instead of being painted
  // over.
  void scrollShownRowsAway(std::string& out) override;
  int resume(const ScreenGrid& grid, int columns, int rows, std::string& out) override;

  // No auto-wrap, no scroll margins, the keypad in application mode.
  void enter(std::string& out) override;
  // Colours reset, auto-wrap and the numeric keypad back on, the cursor shown at the console
  // cursor, so that whatever follows appears in the terminal's own colours where the dialogue
  // stopped.
  void leave(const ScreenGrid& grid, std::string& out) override;
  void restoreModes(std::string& out) override;
  void narrowAmbiguousGlyphs() override;

 private:
  struct View {  // the part of the grid the terminal shows, from its top-left cell
    int top, left, rows, columns;
  };
  View viewFor(const ScreenGrid& grid) const;
  void scrollIntoScrollback(const ScreenGrid& grid, const View& view, std::string& out);
  void writeUnshownRows(const ScreenGrid& grid, std::string& out);
  std::span<const ConsoleCell> sequenceRow(const ScreenGrid& grid, long index) const;
  const ConsoleCell* wantedRow(std::span<const ConsoleCell> source, const View& view);
  void syncRow(int row, std::span<const ConsoleCell> source, const View& view, std::string& out);
  void writeCells(const ConsoleCell* cells, int count, std::string& out);
  void eraseToEnd(ConsoleCell blank, ConsoleCell* shown, int count, std::string& out);
  void shiftUp(int count);
  std::size_t slotOf(int row) const { return static_cast<std::size_t>((shownTop_ + row) % rows_); }
  ConsoleCell* shownRow(int row) { return &shown_[slotOf(row) * columns_]; }
  void placeCursor(const ScreenGrid& grid, const View& view, std::string& out);
  void moveTo(int row, int column, std::string& out);
  void forward(int count, std::string& out);
  int penFor(std::uint8_t attribute) const;
  void setPen(std::uint8_t attribute, std::string& out);
  void hideCursor(std::string& out);

  TerminalCapabilities caps_;
  struct Glyph {
    char bytes[4];
    std::uint8_t length;
  };
  Glyph glyphs_[256] = {};
  int terminalColumns_ = 1;
  int terminalRows_ = 1;
  int columns_ = 1;  // the part of the terminal that is tracked
  int rows_ = 1;
  std::vector<ConsoleCell> shown_;   // what the terminal shows, row after row from shownTop_
  int shownTop_ = 0;                 // the slot of the terminal's top row in shown_ and known_
  std::vector<ConsoleCell> wanted_;  // one row as it is to be shown, when the grid's won't do
  std::vector<std::uint8_t> known_;  // per row: shown_ is what the terminal shows
  bool compareAll_ = true;           // rows no longer line up with the grid's change flags
  bool belowKnown_ = false;          // the rows below the tracked part are blank
  int viewTop_ = 0;
  int viewLeft_ = 0;
  int cursorRow_ = -1;  // where the terminal's cursor stands; -1 when unknown
  int cursorColumn_ = -1;
  int pen_ = -1;           // the pen the terminal draws with (penFor); -1 when unknown
  int penAttribute_ = -1;  // the attribute pen_ was chosen for
  int pushBack_ = 0;       // rows the terminal pulled down, to send back at the next render
  enum class Visibility { unknown, shown, hidden } cursorVisibility_ = Visibility::unknown;
};

}  // namespace qv
