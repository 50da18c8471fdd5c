// What presents the grid on a tty: the renderer that brings the terminal up to date with the
// grid, and the one buffer a frame's bytes leave in, through the terminal's output.
#pragma once

#include <csignal>
#include <memory>
#include <string>
#include <string_view>

#include "console/linux/output.h"
#include "console/screen_grid.h"
#include "console/terminal/capabilities.h"
#include "console/terminal/renderer.h"

namespace qv {

class TtyPresenter {
 public:
  // How long the bytes that give a terminal back its own modes may wait for it to take them
  // once a signal ends the program or stops it: a terminal that reads nothing at all must not
  // hold the end up.
  static constexpr int restoreWaitMs = 200;

  // A terminal of this size that can do what the capabilities say; in its own colours when
  // NO_COLOR is set and not empty. A teletype (one that cannot address its cursor, decided by
  // the device once) is written to in lines (see TeletypeRenderer).
  void open(int fd, int columns, int rows, TerminalCapabilities capabilities, bool teletype);
  void close();
  int fd() const { return fd_; }
  // The terminal went away or fails every write: nothing can be shown any more.
  bool gone() const { return output_.gone(); }

  bool teletype() const { return teletype_; }
  // What asks the terminal where its cursor is (empty: it cannot be asked).
  const std::string& cursorQuery() const { return cursorQuery_; }
  // Sends the question; false when it did not go out whole.
  bool askCursor();
  // Draws the glyph at the start of the cursor's row, asks where the cursor went, and blanks
  // the glyph's cells again; false when that did not go out whole.
  bool askCursorAfter(std::string_view glyph);
  // See FrameRenderer::lineOutOfStep.
  void lineOutOfStep(const ScreenGrid& grid, int row, std::span<const std::uint8_t> line) {
    if (renderer_) renderer_->lineOutOfStep(grid, row, line);
  }
  // The terminal draws glyphs of ambiguous width two cells wide: narrow stand-ins from now on.
  void narrowAmbiguousGlyphs() {
    if (renderer_) renderer_->narrowAmbiguousGlyphs();
    repaint();
  }
  // What a signal kept of the last frame from the terminal goes out now; false when some
  // still waits.
  bool sendUnsent();

  // Everything that changed in the grid goes out now. False when the write gave way to a
  // signal or found the terminal gone: the terminal shows part of the frame, and the rest goes
  // out before the next one. Does nothing while the terminal is handed back (between leave()
  // and enter()).
  bool present(ScreenGrid& grid);
  // The first enter: what the terminal showed goes into its scrollback, then enter().
  bool enterAtStart();
  // What the terminal shows may be out of step: the next present repaints it all.
  void repaint() {
    if (renderer_) renderer_->invalidate();
    repaintPending_ = true;
  }
  // The terminal's state is unknown: set it up again and repaint all.
  bool enter();
  // The terminal is back after another program had it, at this size (see
  // FrameRenderer::resume). Returns the rows the grid must give up.
  int resume(const ScreenGrid& grid, int columns, int rows);
  // Hands the terminal back. With ours, the rest of a frame a signal cut short and the last
  // frame (so that every row drawn arrives whole), then the terminal's own colours,
  // auto-wrap, keypad and cursor, and a fresh line for whatever follows; without (another
  // process group has the terminal now), the modes alone. Each part waits at most
  // restoreWaitMs for a terminal that stopped reading.
  void leave(ScreenGrid& grid, bool ours);
  // The modes alone, from a signal handler that ends the process: async-signal-safe.
  void leaveFromSignalHandler();
  // The terminal has a new size, its cursor found at cursorRow, cursorColumn (-1: not known).
  // Returns the rows the grid must give up beyond the usual (see FrameRenderer::resize).
  int resize(int columns, int rows, int cursorRow, int cursorColumn);

 private:
  bool writeOut();
  bool writeEnding();
  void startOutput();
  void dropUnsent();

  int fd_ = -1;
  TtyOutput output_;
  std::unique_ptr<FrameRenderer> renderer_;
  bool teletype_ = false;
  std::string cursorQuery_;
  std::string out_;
  std::string unsent_;  // what a signal kept of the last frame from the terminal
  bool repaintPending_ = false;
  bool presenting_ = false;  // an end path that interrupts a present must not render again
  bool cut_ = false;         // bytes the terminal never got were dropped
  volatile std::sig_atomic_t shown_ = 0;  // between enter() and leave()
  char emergencyBytes_[64] = {};          // what leaveFromSignalHandler() sends
  std::size_t emergencyLength_ = 0;
};

}  // namespace qv
