// Every escape sequence this renderer sends (all of them understood by xterm and its
// descendants, tmux, screen, rxvt and the Linux console):
//   CR, LF x (rows-1)  at start-up: the rows above the cursor (what the shell showed) scroll
//                      into the terminal's scrollback instead of being painted over
//   ESC [ ? 7 l        auto-wrap off (begin), so a cell in the last column never wraps
//   ESC [ ? 7 h        auto-wrap on (end)
//   ESC =              application keypad on (begin): keypad Enter sends ESC O M, not LF
//   ESC >              application keypad off (end)
//   ESC [ r            scroll margins back to the whole screen (begin); homes the cursor
//   ESC [ ? 25 l       hide the cursor while cells are drawn
//   ESC [ ? 25 h       show the cursor again
//   ESC [ row ; col H  move the cursor (1-based; ESC [ H and ESC [ row H for column 1)
//   ESC [ n C          move the cursor n columns right on its row (ESC [ C for one)
//   CR, CR LF          to column 0 of the cursor's row, or of the row below it (this LF never
//                      starts from the bottom row, so it only moves the cursor down)
//   ESC [ K            erase to the end of the row: a row's trailing blanks, drawn in the pen's
//                      colours (the erased cells take the current background); also the part
//                      of a row right of the largest screen buffer
//   ESC [ J            erase below: the rows of a terminal taller than the largest screen buffer
//   ESC [ 0 ; f ; b m  set both colours from a clean state; ESC [ f m and ESC [ b m change one
//                      f: 30-37 normal, 90-97 bright foreground; b: 40-47, 100-107 background
//   ESC [ 0 m          colours back to the terminal's own (end; the only pen without colours,
//                      when NO_COLOR asks for none)
//   LF                 at the bottom row: the terminal scrolls natively, so that the top row
//                      goes into its scrollback
// Cells are sent as the UTF-8 glyphs of code page 437: no byte of the grid ever reaches the
// terminal as a control code.

#include "console/terminal/renderer.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "console/terminal/cp437.h"

namespace qv {

namespace {

// Outside the grid (a terminal larger than the screen buffer) the terminal shows black.
constexpr ConsoleCell kOutside{' ', 0x00};

// The console numbers its colours blue, green, red (bit 0 is blue); terminals red, green, blue.
int terminalColour(int consoleColour) {
  return (consoleColour & 2) | ((consoleColour & 1) << 2) | ((consoleColour & 4) >> 2);
}

int foregroundCode(std::uint8_t attribute) {
  return ((attribute & 0x08) ? 90 : 30) + terminalColour(attribute & 7);
}

int backgroundCode(std::uint8_t attribute) {
  return ((attribute & 0x80) ? 100 : 40) + terminalColour((attribute >> 4) & 7);
}

// The glyphs as they go out, copied once so that drawing a cell is a table look-up.
struct GlyphTable {
  struct Glyph {
    char bytes[4];
    std::uint8_t length;
  };
  Glyph glyphs[256];
  GlyphTable() {
    for (int b = 0; b < 256; ++b) {
      const std::string_view glyph = cp437Glyph(static_cast<std::uint8_t>(b));
      glyph.copy(glyphs[b].bytes, sizeof glyphs[b].bytes);
      glyphs[b].length = static_cast<std::uint8_t>(glyph.size());
    }
  }
};
const GlyphTable kGlyphTable;

class GlyphRun {
 public:
  void add(std::uint8_t character, std::string& out) {
    if (used_ + 4 > sizeof buffer_) flush(out);
    const GlyphTable::Glyph& glyph = kGlyphTable.glyphs[character];
    std::memcpy(buffer_ + used_, glyph.bytes, 4);
    used_ += glyph.length;
  }
  void flush(std::string& out) {
    out.append(buffer_, used_);
    used_ = 0;
  }

 private:
  char buffer_[512];
  std::size_t used_ = 0;
};

// Where the run of cells equal to the last one starts. Most rows end in a long run of blanks:
// four cells are compared at a time.
int closingRunStart(const ConsoleCell* cells, int count) {
  static_assert(sizeof(ConsoleCell) == 2);
  std::uint16_t last;
  std::memcpy(&last, &cells[count - 1], sizeof last);
  const std::uint64_t fourLast = last * 0x0001000100010001ULL;
  int start = count;
  for (std::uint64_t four; start >= 4; start -= 4) {
    std::memcpy(&four, &cells[start - 4], sizeof four);
    if (four != fourLast) break;
  }
  while (start > 0 && cells[start - 1] == cells[count - 1]) --start;
  return start;
}

void appendNumber(std::string& out, int value) {
  char digits[12];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, result.ptr);
}

}  // namespace

Renderer::Renderer(int terminalColumns, int terminalRows, bool colours) : colours_(colours) {
  resize(terminalColumns, terminalRows);
}

void Renderer::resize(int terminalColumns, int terminalRows) {
  terminalRows = std::max(terminalRows, 1);
  // A terminal that loses rows moves its top ones into its scrollback as far as it takes to
  // keep the cursor's row: they must not be sent there again.
  if (cursorRow_ >= 0) viewTop_ += std::max(0, cursorRow_ + 1 - terminalRows);
  terminalColumns_ = std::max(terminalColumns, 1);
  terminalRows_ = terminalRows;
  // What lies beyond the largest screen buffer is kept blank, not tracked cell by cell.
  columns_ = std::min(terminalColumns_, ScreenGrid::maxColumns);
  rows_ = std::min(terminalRows_, ScreenGrid::maxRows);
  shown_.assign(static_cast<std::size_t>(columns_) * rows_, kOutside);
  wanted_.assign(static_cast<std::size_t>(columns_), kOutside);
  known_.assign(static_cast<std::size_t>(rows_), 0);
  invalidate();
}

void Renderer::invalidate() {
  std::fill(known_.begin(), known_.end(), 0);
  compareAll_ = true;
  belowKnown_ = false;
  cursorRow_ = cursorColumn_ = -1;
  pen_ = -1;
  cursorVisibility_ = Visibility::unknown;
}

void Renderer::scrollAwayDisplay(std::string& out) {
  out += '\r';
  out.append(static_cast<std::size_t>(terminalRows_ - 1), '\n');
  invalidate();
}

void Renderer::begin(std::string& out) {
  out += "\x1b[?7l\x1b=\x1b[r";
  invalidate();
}

void Renderer::end(const ScreenGrid& grid, std::string& out) {
  restoreModes(out);
  cursorRow_ = -1;  // the console cursor is placed even if the terminal was left elsewhere
  placeCursor(grid, viewFor(grid), out);
}

void Renderer::restoreModes(std::string& out) {
  out += "\x1b[0m\x1b[?7h\x1b>\x1b[?25h";
  pen_ = -1;
  cursorVisibility_ = Visibility::shown;
}

void Renderer::render(const ScreenGrid& grid, std::string& out) {
  const View view = viewFor(grid);
  scrollIntoScrollback(grid, view, out);
  viewTop_ = view.top;
  viewLeft_ = view.left;

  for (int row = 0; row < rows_; ++row) {
    const bool inside = row < view.rows;
    const bool dirty = inside && grid.rowDirty(view.top + row);
    if (known_[static_cast<std::size_t>(row)] && !compareAll_ && !dirty) continue;
    syncRow(row, inside ? grid.row(view.top + row) : std::span<const ConsoleCell>{}, view, out);
  }
  compareAll_ = false;
  if (!belowKnown_ && terminalRows_ > rows_) {
    hideCursor(out);
    moveTo(rows_, 0, out);
    setPen(kOutside.attribute, out);
    out += "\x1b[J";
  }
  belowKnown_ = true;

  placeCursor(grid, view, out);
  if (cursorVisibility_ != Visibility::shown) {
    out += "\x1b[?25h";
    cursorVisibility_ = Visibility::shown;
  }
}

Renderer::View Renderer::viewFor(const ScreenGrid& grid) const {
  View view{viewTop_, viewLeft_, std::min(rows_, grid.rows()), std::min(columns_, grid.columns())};
  const int cursorRow = std::clamp<int>(grid.cursor().y, 0, grid.rows() - 1);
  const int cursorColumn = std::clamp<int>(grid.cursor().x, 0, grid.columns() - 1);
  // Move only as far as it takes to keep the console cursor in sight.
  view.top = std::clamp(view.top, cursorRow - view.rows + 1, cursorRow);
  view.top = std::clamp(view.top, 0, grid.rows() - view.rows);
  view.left = std::clamp(view.left, cursorColumn - view.columns + 1, cursorColumn);
  view.left = std::clamp(view.left, 0, grid.columns() - view.columns);
  return view;
}

// The grid's rows as one sequence: the rows that left its top since the last render, oldest
// first, then the grid itself. Rows lost from a full log are not available.
std::span<const ConsoleCell> Renderer::sequenceRow(const ScreenGrid& grid, long index) const {
  const long left = grid.scrolledOffCount();
  if (index >= left) return grid.row(static_cast<int>(index - left));
  const long kept = std::min<long>(left, grid.scrollLogCapacity());
  return grid.scrolledOffRow(index - (left - kept));
}

// The terminal showed the sequence from viewTop_ on and has to show it from
// scrolledOffCount() + view.top on. When that is further down, the rows in between leave its
// top as they would on a terminal: each is drawn on the top row as it was when it left, then
// line feeds at the bottom row push it into the terminal's scrollback.
void Renderer::scrollIntoScrollback(const ScreenGrid& grid, const View& view, std::string& out) {
  const long leftTop = grid.scrolledOffCount();
  if (leftTop == 0 && view.top == viewTop_ && view.left == viewLeft_) return;
  compareAll_ = true;  // whatever happens below, rows and change flags no longer line up
  const long distance = leftTop + view.top - viewTop_;
  // Native scrolling moves whole terminal rows: only when the terminal shows nothing but grid
  // rows, from the same column as before, down to its bottom row.
  if (distance <= 0 || view.rows != rows_ || rows_ != terminalRows_ || view.left != viewLeft_) {
    return;
  }

  const long lost = leftTop - std::min<long>(leftTop, grid.scrollLogCapacity());
  long step = std::max(0L, lost - viewTop_);
  if (step > 0) std::fill(known_.begin(), known_.end(), 0);
  while (step < distance) {
    const int batch = static_cast<int>(std::min<long>(rows_, distance - step));
    for (int row = 0; row < batch; ++row) {
      syncRow(row, sequenceRow(grid, viewTop_ + step + row), view, out);
    }
    moveTo(rows_ - 1, 0, out);
    out.append(static_cast<std::size_t>(batch), '\n');
    shiftUp(batch);
    step += batch;
  }
  // Rows that moved up keep their change flags in the grid: they line up again.
  compareAll_ = lost > viewTop_;
}

void Renderer::shiftUp(int count) {
  const std::size_t moved = static_cast<std::size_t>(rows_ - count) * columns_;
  std::memmove(shown_.data(), shown_.data() + static_cast<std::size_t>(count) * columns_,
               moved * sizeof(ConsoleCell));
  std::memmove(known_.data(), known_.data() + count, static_cast<std::size_t>(rows_ - count));
  std::fill(known_.end() - count, known_.end(), 0);  // the new rows are blank in some colour
}

// The cells the terminal's row is to show: the grid's own when the row shows nothing else.
const ConsoleCell* Renderer::wantedRow(std::span<const ConsoleCell> source, const View& view) {
  const int inside = source.empty() ? 0 : view.columns;
  const ConsoleCell* from = source.data() + (source.empty() ? 0 : view.left);
  if (inside == columns_) return from;
  std::copy_n(from, inside, wanted_.begin());
  std::fill(wanted_.begin() + inside, wanted_.end(), kOutside);
  return wanted_.data();
}

void Renderer::syncRow(int row, std::span<const ConsoleCell> source, const View& view,
                       std::string& out) {
  const ConsoleCell* want = wantedRow(source, view);
  ConsoleCell* shown = &shown_[static_cast<std::size_t>(row) * columns_];
  const bool known = known_[static_cast<std::size_t>(row)] != 0;
  known_[static_cast<std::size_t>(row)] = 1;
  if (!known && terminalColumns_ > columns_) {  // the rest of a row too wide to track
    hideCursor(out);
    moveTo(row, columns_, out);
    setPen(kOutside.attribute, out);
    out += "\x1b[K";
  }
  auto differs = [&](int column) { return !known || shown[column] != want[column]; };

  int lastChange = columns_ - 1;
  while (lastChange >= 0 && !differs(lastChange)) --lastChange;
  if (lastChange < 0) return;
  // The row ends in blanks of one colour: from blanksFrom on they are cheaper erased (ESC [ K,
  // three bytes) than written, as long as more than three cells up to the last change differ.
  const ConsoleCell blank = want[columns_ - 1];
  const int blanksFrom = blank.character == ' ' ? closingRunStart(want, columns_) : columns_;
  // Erasing from beyond lastChange - 3 would send more than it saves.
  const int eraseFrom = blanksFrom <= lastChange - 3 ? blanksFrom : columns_;

  for (int column = 0; column <= lastChange;) {
    if (!differs(column)) {
      ++column;
      continue;
    }
    hideCursor(out);
    moveTo(row, column, out);
    if (column >= eraseFrom) {
      eraseToEnd(blank, shown + column, columns_ - column, out);
      return;
    }
    // The run of changed cells goes out through a small buffer: one append per colour change.
    GlyphRun run;
    for (; column < eraseFrom && differs(column); ++column) {
      const ConsoleCell cell = want[column];
      if (cell.attribute != pen_) {
        run.flush(out);
        setPen(cell.attribute, out);
      }
      run.add(cell.character, out);
      shown[column] = cell;
    }
    run.flush(out);
    cursorColumn_ = column;
    // In the last column the cursor stays put or waits to wrap, depending on the terminal.
    if (column == columns_) cursorRow_ = cursorColumn_ = -1;
  }
}

// From the cursor to the end of its row. The cursor stays where it is.
void Renderer::eraseToEnd(ConsoleCell blank, ConsoleCell* shown, int count, std::string& out) {
  setPen(blank.attribute, out);
  out += "\x1b[K";
  std::fill(shown, shown + count, blank);
}

void Renderer::placeCursor(const ScreenGrid& grid, const View& view, std::string& out) {
  const int row = std::clamp<int>(grid.cursor().y - view.top, 0, view.rows - 1);
  const int column = std::clamp<int>(grid.cursor().x - view.left, 0, view.columns - 1);
  moveTo(row, column, out);
}

namespace {

int digitCount(int value) {
  int digits = 1;
  for (; value >= 10; value /= 10) ++digits;
  return digits;
}

int absoluteMoveLength(int row, int column) {
  if (row == 0 && column == 0) return 3;
  return 3 + digitCount(row + 1) + (column > 0 ? 1 + digitCount(column + 1) : 0);
}

int forwardLength(int count) {
  if (count == 0) return 0;
  return count == 1 ? 3 : 3 + digitCount(count);
}

void appendForward(int count, std::string& out) {
  if (count == 0) return;
  out += "\x1b[";
  if (count > 1) appendNumber(out, count);
  out += 'C';
}

}  // namespace

// The shortest of: right along the row; CR (or CR LF to the row below) then right; absolute.
void Renderer::moveTo(int row, int column, std::string& out) {
  if (row == cursorRow_ && column == cursorColumn_) return;
  int best = absoluteMoveLength(row, column);
  enum class Way { absolute, forward, carriageReturn, nextLine } way = Way::absolute;
  if (cursorRow_ >= 0 && row == cursorRow_ && column > cursorColumn_ &&
      forwardLength(column - cursorColumn_) < best) {
    best = forwardLength(column - cursorColumn_);
    way = Way::forward;
  }
  if (cursorRow_ >= 0 && row == cursorRow_ && 1 + forwardLength(column) < best) {
    best = 1 + forwardLength(column);
    way = Way::carriageReturn;
  }
  if (cursorRow_ >= 0 && row == cursorRow_ + 1 && 2 + forwardLength(column) < best) {
    way = Way::nextLine;
  }
  switch (way) {
    case Way::forward:
      appendForward(column - cursorColumn_, out);
      break;
    case Way::carriageReturn:
      out += '\r';
      appendForward(column, out);
      break;
    case Way::nextLine:
      out += "\r\n";
      appendForward(column, out);
      break;
    case Way::absolute:
      out += "\x1b[";
      if (row > 0 || column > 0) appendNumber(out, row + 1);
      if (column > 0) {
        out += ';';
        appendNumber(out, column + 1);
      }
      out += 'H';
      break;
  }
  cursorRow_ = row;
  cursorColumn_ = column;
}

void Renderer::setPen(std::uint8_t attribute, std::string& out) {
  if (pen_ == attribute) return;
  if (!colours_) {  // one pen for every attribute: the terminal's own colours
    if (pen_ < 0) out += "\x1b[0m";
    pen_ = attribute;
    return;
  }
  const int foreground = foregroundCode(attribute);
  const int background = backgroundCode(attribute);
  out += "\x1b[";
  if (pen_ < 0) {
    out += "0;";  // nothing else (bold, reverse, ...) may linger from before
    appendNumber(out, foreground);
    out += ';';
    appendNumber(out, background);
  } else if (foregroundCode(static_cast<std::uint8_t>(pen_)) == foreground) {
    appendNumber(out, background);
  } else if (backgroundCode(static_cast<std::uint8_t>(pen_)) == background) {
    appendNumber(out, foreground);
  } else {
    appendNumber(out, foreground);
    out += ';';
    appendNumber(out, background);
  }
  out += 'm';
  pen_ = attribute;
}

void Renderer::hideCursor(std::string& out) {
  if (cursorVisibility_ == Visibility::hidden) return;
  out += "\x1b[?25l";
  cursorVisibility_ = Visibility::hidden;
}

}  // namespace qv
