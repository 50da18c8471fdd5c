// A renderer at work on a terminal emulator: random operations of the console on a screen grid
// and of the world on the terminal, and a frame now and then, after which the terminal must
// show the grid: the part of it that holds the console cursor, at the cursor, in the console's
// colours, black beyond the grid on a larger terminal; and, while it has the grid's size, hold
// the rows that left the grid's top in its scrollback, in order. The renderer's test draws the
// numbers from a seeded generator.
#pragma once

#include <functional>
#include <string>

#include "console/screen_grid.h"
#include "console/terminal/renderer.h"
#include "support/vterm_screen.h"

namespace qv {

class RendererRun {
 public:
  using Below = std::function<int(int)>;  // a number from 0 to n - 1 (0 for n below 2)
  struct Sizes {
    int columns, rows;                  // the grid
    int terminalColumns, terminalRows;  // the terminal at the start
    int logRows;                        // the grid's log of rows that leave its top
  };
  RendererRun(const Sizes& sizes, Below below);

  // One operation: mostly the console's on the grid, now and then the terminal's (a new size
  // when resizing is allowed, a suspension and resume, another program's output before a
  // resume). Returns its name, for failure messages.
  const char* operate(bool terminalMayResize);
  // Renders a frame; returns what the terminal shows wrong, or "".
  std::string frame();
  // The grid's rows and the terminal's, for failure messages.
  std::string state() const;

 private:
  void send();

  Below below_;
  ScreenGrid grid_;
  Renderer renderer_;
  VtermScreen term_;
  std::string out_;
  bool resized_ = false;
};

}  // namespace qv
