// The screen side of the terminal: the renderer that brings the terminal up to date with the
// grid, and the one buffer a frame's bytes leave in, through the terminal's output.
#pragma once

#include <csignal>
#include <optional>
#include <string>
#include <string_view>

#include "console/linux/output.h"
#include "console/screen_grid.h"
#include "console/terminal/renderer.h"

namespace qv {

class TerminalScreen {
 public:
  // How long the bytes that give a terminal back its own modes may wait for it to take them
  // once a signal ends the program or stops it: a terminal that reads nothing at all must not
  // hold the end up.
  static constexpr int restoreWaitMs = 200;

  // A terminal of this size; in its own colours when NO_COLOR is set and not empty.
  void open(int fd, int columns, int rows);
  void close();
  int fd() const { return fd_; }
  // The terminal went away or fails every write: nothing can be shown any more.
  bool gone() const { return output_.gone(); }

  // Everything that changed in the grid goes out now. False when the write gave way to a
  // signal or found the terminal gone: the terminal shows part of the frame, and the next one
  // repaints all. Does nothing while the terminal is handed back (between end() and begin()).
  bool present(ScreenGrid& grid);
  // The first begin: what the terminal showed goes into its scrollback, then begin().
  bool start();
  // The terminal's state is unknown or was handed back: set it up again and repaint all.
  bool begin();
  // Hands the terminal back. With ours, the last frame, then the terminal's own colours,
  // auto-wrap, keypad and cursor, and a fresh line for whatever follows; without (another
  // process group has the terminal now), the modes alone.
  void end(ScreenGrid& grid, bool ours);
  // The modes alone, from a signal handler that ends the process: async-signal-safe.
  void endFromSignalHandler();
  // The terminal has a new size: what it shows is repainted whole at the next frame.
  void resize(int columns, int rows);

 private:
  bool writeOut();
  void settle(std::string_view rest);

  int fd_ = -1;
  TerminalOutput output_;
  std::optional<Renderer> renderer_;
  std::string out_;
  bool repaintPending_ = false;
  bool presenting_ = false;  // an end path that interrupts a present must not render again
  bool cut_ = false;         // the terminal took only part of the last bytes sent
  volatile std::sig_atomic_t shown_ = 0;  // between begin() and end()
  char emergencyBytes_[64] = {};          // what endFromSignalHandler() sends
  std::size_t emergencyLength_ = 0;
};

}  // namespace qv
