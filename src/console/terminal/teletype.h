// The renderer of a terminal that cannot move its cursor (TERM=dumb, an editor's shell buffer):
// the program as a teletype program. Not one escape sequence and no colour. Each row goes out
// once, when it is complete (the cursor has left it), as a line; the cursor's own row goes out
// as far as the cursor whenever a frame is shown (a prompt, the line being typed), and what the
// line editor erases there is erased with backspace, blank, backspace, as long as that stays on
// the paper's row: an erase that would go back up a row prints the line again on a fresh line,
// as line-mode editors do. A clear of the screen is an empty line: what was written stays
// above it, as on paper.
#pragma once

#include <string>
#include <vector>

#include "console/terminal/renderer.h"

namespace qv {

class TeletypeRenderer final : public FrameRenderer {
 public:
  // glyphs: each code page byte as the terminal's character set writes it (empty: UTF-8).
  explicit TeletypeRenderer(const std::vector<std::string>& glyphs = {});

  void render(const ScreenGrid& grid, std::string& out) override;
  // The line the terminal shows is unknown: the cursor's row starts again on a fresh line.
  void invalidate() override;
  int resize(int, int, int, int) override { return 0; }
  void scrollShownRowsAway(std::string&) override {}
  void enter(std::string&) override { invalidate(); }
  int resume(const ScreenGrid&, int, int, std::string&) override {
    invalidate();
    return 0;
  }
  // A line begun goes out as far as the cursor, then a line end.
  void leave(const ScreenGrid& grid, std::string& out) override;
  void restoreModes(std::string&) override {}
  void lineOutOfStep(const ScreenGrid& grid, int row, std::span<const std::uint8_t> line) override;

 private:
  void write(std::span<const ConsoleCell> row, std::size_t length, std::string& out);
  void writeWhole(std::span<const ConsoleCell> row, std::string& out);
  void endLine(std::string& out);

  std::vector<std::string> glyphs_;
  long base_ = 0;             // the sequence index of the grid's top row (rows that left it before)
  long line_ = 0;             // the sequence index of the row the terminal's line shows
  std::string written_;       // the console bytes written on that line so far
  bool freshLine_ = false;    // the terminal's line holds text the renderer no longer knows
  std::size_t columns_ = 80;  // the paper's width
  std::string heading_;       // what the line editor's line holds before row headingLine_
  long headingLine_ = -1;
};

}  // namespace qv
