// The renderer: what the terminal should show is a ScreenGrid; what it shows is the renderer's
// own copy. render() appends the escape sequences that turn the one into the other.
#pragma once

#include <string>

#include "console/screen_grid.h"

namespace qv {

class Renderer {
 public:
  Renderer(int terminalColumns, int terminalRows);

  // Appends the bytes that bring the terminal to the grid (cells, colours, cursor), and rows
  // that scrolled off the grid's top into the terminal's scrollback. The caller then calls
  // grid.clearChanges().
  void render(const ScreenGrid& grid, std::string& out);
  // What the terminal shows is unknown (start, resume, resize): the next render repaints.
  void invalidate();
  void resize(int terminalColumns, int terminalRows);
};

}  // namespace qv
