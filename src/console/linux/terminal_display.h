// The screen side of the terminal: the grid the console draws into, the renderer that brings
// the terminal up to date with it, and the one buffer its bytes leave in. Drawing only changes
// the grid; the terminal hears of it in batches (present), so that a statement, a line or a
// character never costs a system call of its own.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "console/screen_grid.h"
#include "console/terminal/renderer.h"

namespace qv {

class TerminalDisplay {
 public:
  // How far the terminal may lag behind the grid while the program keeps drawing.
  static constexpr long presentIntervalNs = 16'000'000;

  // A blank grid of this size (the terminal's at start-up, within the grid's bounds) in light
  // grey on black; in the terminal's own colours when NO_COLOR is set and not empty.
  void open(int fd, int columns, int rows);
  void close();
  bool isOpen() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  ScreenGrid& grid() { return *grid_; }

  // Everything that changed goes out now, in one write loop.
  void present();
  // The same, once the last present is more than presentIntervalNs old; cheap otherwise.
  void presentIfDue();
  // The first begin: what the terminal showed goes into its scrollback, then begin().
  void start();
  // The terminal's state is unknown or was handed back: set it up again and repaint all.
  void begin();
  // The last frame, then the terminal's own colours, auto-wrap and cursor back.
  void end();
  // The terminal has a new size, and the grid takes it on (see ScreenGrid::resize). True when
  // the grid's size changed.
  bool resize(int columns, int rows);

 private:
  void writeOut();

  int fd_ = -1;
  std::optional<ScreenGrid> grid_;
  std::optional<Renderer> renderer_;
  std::string out_;
  bool repaintPending_ = false;
  bool presenting_ = false;  // an end path that interrupts a present must not render again
  timespec lastPresent_{};
};

// Writes every byte unless the terminal is gone: retries interrupted and would-block writes.
void writeFully(int fd, std::string_view bytes);

}  // namespace qv
