#include "console/terminal/teletype.h"

#include <algorithm>

#include "console/terminal/cp437.h"

namespace qv {

namespace {

constexpr std::string_view lineEnd = "\r\n";
constexpr std::string_view erase = "\b \b";

std::uint8_t shownByte(ConsoleCell cell) {
  return cell.character == 0 ? ' ' : cell.character;
}

// The row's length without its trailing blanks.
std::size_t textLength(std::span<const ConsoleCell> row) {
  std::size_t length = row.size();
  while (length > 0 && shownByte(row[length - 1]) == ' ') --length;
  return length;
}

}  // namespace

TeletypeRenderer::TeletypeRenderer(const std::vector<std::string>& glyphs) : glyphs_(256) {
  for (int b = 0; b < 256; ++b) {
    const auto byte = static_cast<std::uint8_t>(b);
    glyphs_[byte] = glyphs.size() == 256 ? glyphs[byte] : std::string(cp437Glyph(byte));
  }
}

void TeletypeRenderer::lineOutOfStep(const ScreenGrid& grid, int row,
                                     std::span<const std::uint8_t> line) {
  heading_.assign(line.begin(), line.end());
  headingLine_ = base_ + grid.scrolledOffCount() + row;
}

void TeletypeRenderer::invalidate() {
  if (!written_.empty()) freshLine_ = true;
  written_.clear();
}

// The terminal's line becomes the row's first length cells (behind the line editor's heading,
// on its row): what differs is erased from the end, the rest written.
void TeletypeRenderer::write(std::span<const ConsoleCell> row, std::size_t length,
                             std::string& out) {
  std::string wanted = line_ == headingLine_ ? heading_ : std::string();
  for (std::size_t i = 0; i < length; ++i) wanted += static_cast<char>(shownByte(row[i]));
  if (freshLine_) {
    out += lineEnd;
    freshLine_ = false;
  }
  std::size_t same = static_cast<std::size_t>(
      std::mismatch(written_.begin(), written_.end(), wanted.begin(), wanted.end()).first -
      written_.begin());
  // A backspace does not go up to the paper's row above: the line starts again below.
  if (same < written_.size() && same < written_.size() / columns_ * columns_) {
    out += lineEnd;
    written_.clear();
    same = 0;
  }
  for (std::size_t i = same; i < written_.size(); ++i) out += erase;
  written_.resize(same);
  for (std::size_t i = same; i < wanted.size(); ++i) {
    out += glyphs_[static_cast<std::uint8_t>(wanted[i])];
  }
  written_ = std::move(wanted);
}

// A complete row: its text, and the blanks already written after it.
void TeletypeRenderer::writeWhole(std::span<const ConsoleCell> row, std::string& out) {
  const std::size_t heading = line_ == headingLine_ ? heading_.size() : 0;
  const std::size_t blanks = written_.size() > heading ? written_.size() - heading : 0;
  write(row, std::max(textLength(row), std::min(blanks, row.size())), out);
}

void TeletypeRenderer::endLine(std::string& out) {
  out += lineEnd;
  written_.clear();
  if (line_ == headingLine_) headingLine_ = -1;
  ++line_;
}

void TeletypeRenderer::render(const ScreenGrid& grid, std::string& out) {
  columns_ = static_cast<std::size_t>(std::max(grid.columns(), 1));
  const long left = grid.scrolledOffCount();
  const long kept = std::min<long>(left, grid.scrollLogCapacity());
  // The rows that left the grid's top: each one not yet written whole is a line; a cleared
  // screen's last row is followed by an empty line.
  for (long i = left - kept; i < left; ++i) {
    const long index = base_ + i;
    const std::span<const ConsoleCell> row = grid.scrolledOffRow(i - (left - kept));
    if (index >= line_) {
      if (index > line_ && !written_.empty()) endLine(out);
      line_ = index;
      writeWhole(row, out);
      endLine(out);
    }
    if (grid.scrolledOffRowEndsClear(i - (left - kept))) out += lineEnd;
  }
  base_ += left;
  line_ = std::max(line_, base_);  // rows lost from a full log are passed over

  const int cursorRow = std::clamp<int>(grid.cursor().y, 0, grid.rows() - 1);
  const long cursorIndex = base_ + cursorRow;
  if (cursorIndex < line_) {  // blank rows below a cleared screen's last one: not written
    if (!written_.empty()) endLine(out);
    line_ = cursorIndex;
  }
  for (; line_ < cursorIndex;) {
    writeWhole(grid.row(static_cast<int>(line_ - base_)), out);
    endLine(out);
  }
  const std::span<const ConsoleCell> row = grid.row(cursorRow);
  write(row, static_cast<std::size_t>(std::clamp<int>(grid.cursor().x, 0, int(row.size()))), out);
}

void TeletypeRenderer::leave(const ScreenGrid&, std::string& out) {
  if (!written_.empty()) out += lineEnd;
  written_.clear();
  freshLine_ = false;
  headingLine_ = -1;
}

}  // namespace qv
