// The escape sequences this renderer sends, each in the terminal's own form
// (TerminalCapabilities: terminfo's name, then the form of the xterm set that a terminal without
// a description gets):
//   CR, LF x (rows-1)  at start-up: the rows above the cursor (what the shell showed) scroll
//                      into the terminal's scrollback instead of being painted over
//   rmam  ESC [ ? 7 l  auto-wrap off (begin), so a cell in the last column never wraps
//   smam  ESC [ ? 7 h  auto-wrap on (end)
//   smkx  ESC =        application keypad on (begin): keypad Enter sends ESC O M, not LF
//   rmkx  ESC >        application keypad off (end)
//   csr   ESC [ r      scroll margins back to the whole screen (begin); homes the cursor
//   civis ESC [ ? 25 l hide the cursor while cells are drawn
//   cnorm ESC [ ? 25 h show the cursor again
//   cup   ESC [ row ; col H  move the cursor (1-based; ESC [ H and ESC [ row H for column 1):
//                      to a row other than the cursor's own or the next, and at the bottom row
//                      of a terminal whose cursor was found after a resize
//   cuf   ESC [ n C    move the cursor n columns right on its row (cuf1, ESC [ C, for one)
//   CR, CR LF          to column 0 of the cursor's row, or of the row below it
//   LF                 below the cursor's row: at the bottom row the terminal scrolls natively,
//                      so that the top row goes into its scrollback; rows that scroll the
//                      screen are each written after their line feed, as cat writes them
//   el    ESC [ K      erase to the end of the row: a row's trailing blanks, drawn in the pen's
//                      colours (the erased cells take the current background); also the part
//                      of a row right of the largest screen buffer
//   ed    ESC [ J      erase below: the rows of a terminal taller than the largest screen buffer
//   sgr0  ESC [ 0 m    colours back to the terminal's own (before a pen is set from a clean
//                      state, at the end, and the only pen without colours)
//   setaf ESC [ f m    the foreground: 30-37, bright 90-97; with 8 colours the bright ones are
//                      bold (bold, ESC [ 1 m), or the nearest of the 8 without bold
//   setab ESC [ b m    the background: 40-47, bright 100-107; with 8 colours the nearest of 8
// Cells are sent as the glyphs of code page 437 in the terminal's character set (UTF-8, or an
// ASCII substitute for a glyph the set lacks): no byte of the grid ever reaches the terminal as
// a control code. The cursor-position query (u7, ESC [ 6 n) after a resize is the device's.

#include "console/terminal/renderer.h"

#include <algorithm>
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

// A pen: foreground and background colour (0-15, terminal order) and bold.
constexpr int penBold = 0x100;
int penForeground(int pen) {
  return pen & 0x0F;
}
int penBackground(int pen) {
  return (pen >> 4) & 0x0F;
}

template <typename GlyphT>
class GlyphRun {
 public:
  explicit GlyphRun(const GlyphT* glyphs) : glyphs_(glyphs) {}
  void add(std::uint8_t character, std::string& out) {
    if (used_ + 4 > sizeof buffer_) flush(out);
    const GlyphT& glyph = glyphs_[character];
    std::memcpy(buffer_ + used_, glyph.bytes, 4);
    used_ += glyph.length;
  }
  void flush(std::string& out) {
    out.append(buffer_, used_);
    used_ = 0;
  }

 private:
  const GlyphT* glyphs_;
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

}  // namespace

Renderer::Renderer(int terminalColumns, int terminalRows, bool colours)
    : Renderer(terminalColumns, terminalRows, [colours] {
        TerminalCapabilities capabilities = TerminalCapabilities::xterm();
        if (!colours) capabilities.colours = 0;
        return capabilities;
      }()) {}

Renderer::Renderer(int terminalColumns, int terminalRows, TerminalCapabilities capabilities)
    : caps_(std::move(capabilities)) {
  for (int b = 0; b < 256; ++b) {
    const auto byte = static_cast<std::uint8_t>(b);
    const std::string_view glyph =
        caps_.glyphs.size() == 256 ? std::string_view(caps_.glyphs[byte]) : cp437Glyph(byte);
    Glyph& slot = glyphs_[b];
    if (glyph.empty() || glyph.size() > sizeof slot.bytes) {
      slot = {{cp437Substitute(byte)}, 1};
    } else {
      glyph.copy(slot.bytes, sizeof slot.bytes);
      slot.length = static_cast<std::uint8_t>(glyph.size());
    }
  }
  resize(terminalColumns, terminalRows);
}

int Renderer::resize(int terminalColumns, int terminalRows, int cursorRow, int cursorColumn) {
  terminalRows = std::max(terminalRows, 1);
  terminalColumns = std::max(terminalColumns, 1);
  // A terminal that loses rows moves its top ones into its scrollback as far as it takes to
  // keep the cursor's row: they must not be sent there again. Where its cursor was found tells
  // whether it moved more (extra), or fewer because rows came down (pushBack_).
  const bool found = cursorRow >= 0 && cursorRow < terminalRows && cursorRow_ >= 0;
  int extra = 0;
  int shift = 0;
  pushBack_ = 0;
  if (cursorRow_ >= 0) {
    const int pushed = std::max(0, cursorRow_ + 1 - terminalRows);
    const int expected = cursorRow_ - pushed;
    if (found && cursorRow < expected) extra = expected - cursorRow;
    if (found && cursorRow > expected) pushBack_ = cursorRow - expected;
    shift = pushed + extra;
    viewTop_ += shift;
  }
  // What lies beyond the largest screen buffer is kept blank, not tracked cell by cell.
  const int columns = std::min(terminalColumns, ScreenGrid::maxColumns);
  const int rows = std::min(terminalRows, ScreenGrid::maxRows);
  // With the cursor found and the rows as wide as before, the rows the terminal kept are
  // known: only what changed is sent, and nothing is addressed that need not be.
  const bool keep = found && columns == columns_;
  std::vector<ConsoleCell> shown(static_cast<std::size_t>(columns) * rows, kOutside);
  std::vector<std::uint8_t> known(static_cast<std::size_t>(rows), 0);
  for (int row = 0; keep && row < rows && row + shift < rows_; ++row) {
    std::copy_n(shownRow(row + shift), columns, &shown[static_cast<std::size_t>(row) * columns]);
    known[static_cast<std::size_t>(row)] = known_[slotOf(row + shift)];
  }
  terminalColumns_ = terminalColumns;
  terminalRows_ = terminalRows;
  columns_ = columns;
  rows_ = rows;
  shown_ = std::move(shown);
  known_ = std::move(known);
  shownTop_ = 0;
  wanted_.assign(static_cast<std::size_t>(columns_), kOutside);
  if (keep) {
    // Where the cursor is, is known; what the rows show is not quite: repaint them all.
    std::fill(known_.begin(), known_.end(), 0);
    compareAll_ = true;
    belowKnown_ = false;
    cursorRow_ = cursorRow;
    cursorColumn_ = cursorColumn;
  } else {
    invalidate();
  }
  return extra;
}

void Renderer::narrowAmbiguousGlyphs() {
  for (int b = 0; b < 256; ++b) {
    const auto byte = static_cast<std::uint8_t>(b);
    if (cp437AmbiguousWidth(byte)) glyphs_[b] = {{cp437Substitute(byte)}, 1};
  }
  invalidate();
}

void Renderer::invalidate() {
  std::fill(known_.begin(), known_.end(), 0);
  compareAll_ = true;
  belowKnown_ = false;
  cursorRow_ = cursorColumn_ = -1;
  pen_ = penAttribute_ = -1;
  cursorVisibility_ = Visibility::unknown;
}

void Renderer::scrollShownRowsAway(std::string& out) {
  out += '\r';
  out.append(static_cast<std::size_t>(terminalRows_ - 1), '\n');
  invalidate();
}

int Renderer::resume(const ScreenGrid& grid, int columns, int rows, std::string& out) {
  writeUnshownRows(grid, out);
  invalidate();
  resize(columns, rows);
  scrollShownRowsAway(out);
  enter(out);
  // Every row that left the grid since the last frame was shown then, and is in the scrollback
  // now, as are the rows above the cursor.
  const int leaving = std::clamp<int>(grid.cursor().y, 0, grid.rows() - 1);
  viewTop_ = grid.scrolledOffCount() + leaving;
  return leaving;
}

// Stopped between frames, the terminal's cursor may still stand on a row above the grid's:
// the rows from there to the grid's cursor row go out as cat would write them, each ended by a
// line feed, so that they scroll into the scrollback with the rest instead of being counted as
// shown there and painted over.
void Renderer::writeUnshownRows(const ScreenGrid& grid, std::string& out) {
  if (cursorRow_ < 0) return;
  const long left = grid.scrolledOffCount();
  const long oldestKept = left - std::min<long>(left, grid.scrollLogCapacity());
  const long gridCursor = left + std::clamp<int>(grid.cursor().y, 0, grid.rows() - 1);
  const int from = std::min(viewLeft_, grid.columns());
  const int width = std::min(columns_, grid.columns() - from);
  if (width <= 0) return;
  pen_ = penAttribute_ = -1;  // the terminal may have been drawn on meanwhile
  for (long index = std::max<long>(viewTop_ + cursorRow_, oldestKept); index < gridCursor;
       ++index) {
    const std::span<const ConsoleCell> whole = sequenceRow(grid, index);
    if (whole.size() < static_cast<std::size_t>(from + width)) break;  // from another size
    const auto row = whole.subspan(static_cast<std::size_t>(from), static_cast<std::size_t>(width));
    // Closing blanks are erased, in their colour.
    const ConsoleCell blank = row.back();
    const bool erase = blank.character == ' ' && !caps_.eraseLine.empty();
    const int length = erase ? closingRunStart(row.data(), width) : width;
    out += '\r';
    writeCells(row.data(), length, out);
    if (erase) {
      setPen(blank.attribute, out);
      out += caps_.eraseLine;
    }
    out += "\r\n";
  }
}

void Renderer::enter(std::string& out) {
  out += caps_.autoWrapOff;
  out += caps_.keypadOn;
  if (caps_.scrollRegion) caps_.scrollRegion(out, 0, terminalRows_ - 1);
  invalidate();
}

void Renderer::leave(const ScreenGrid& grid, std::string& out) {
  restoreModes(out);
  cursorRow_ = -1;  // the console cursor is placed even if the terminal was left elsewhere
  placeCursor(grid, viewFor(grid), out);
  cursorRow_ = -1;  // the terminal is someone else's now: its cursor goes where they move it
}

void Renderer::restoreModes(std::string& out) {
  out += caps_.plain;
  out += caps_.autoWrapOn;
  out += caps_.keypadOff;
  out += caps_.showCursor;
  pen_ = penAttribute_ = -1;
  cursorVisibility_ = Visibility::shown;
}

void Renderer::render(const ScreenGrid& grid, std::string& out) {
  if (pushBack_ > 0) {
    // The rows the terminal brought down go back into its scrollback: line feeds down to its
    // bottom row and on, as many as came down.
    const int below = cursorRow_ >= 0 ? terminalRows_ - 1 - cursorRow_ : 0;
    if (cursorRow_ < 0) moveTo(terminalRows_ - 1, 0, out);
    out += '\r';
    out.append(static_cast<std::size_t>(below + pushBack_), '\n');
    cursorRow_ = terminalRows_ - 1;
    cursorColumn_ = 0;
    pushBack_ = 0;
  }
  const View view = viewFor(grid);
  scrollIntoScrollback(grid, view, out);
  viewTop_ = view.top;
  viewLeft_ = view.left;

  for (int row = 0; row < rows_; ++row) {
    const bool inside = row < view.rows;
    const bool dirty = inside && grid.rowDirty(view.top + row);
    if (known_[slotOf(row)] && !compareAll_ && !dirty) continue;
    syncRow(row, inside ? grid.row(view.top + row) : std::span<const ConsoleCell>{}, view, out);
  }
  compareAll_ = false;
  if (!belowKnown_ && terminalRows_ > rows_ && !caps_.eraseBelow.empty()) {
    hideCursor(out);
    moveTo(rows_, 0, out);
    setPen(kOutside.attribute, out);
    out += caps_.eraseBelow;
  }
  belowKnown_ = true;

  placeCursor(grid, view, out);
  if (cursorVisibility_ != Visibility::shown) {
    out += caps_.showCursor;
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
// scrolledOffCount() + view.top on. When that is further down, the cursor walks down the
// sequence as cat's output would: the rows at and above it are brought up to date, then each
// row below goes out after a line feed, which at the bottom row scrolls the top one into the
// terminal's scrollback. Only line feeds, carriage returns and moves along a row are sent, so
// a terminal that changed size while the bytes were on their way still scrolls every row in
// order rather than writing rows over each other.
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
  int row = cursorRow_ >= 0 && cursorRow_ < rows_ ? cursorRow_ : rows_ - 1;
  long index = viewTop_ + row;
  if (lost > viewTop_) {
    // Rows that left a full log are gone: the walk starts from the first one kept, written
    // over the top row.
    std::fill(known_.begin(), known_.end(), 0);
    row = 0;
    index = lost;
  } else {
    for (int above = 0; above < row; ++above) {
      syncRow(above, sequenceRow(grid, viewTop_ + above), view, out);
    }
  }
  syncRow(row, sequenceRow(grid, index), view, out);
  const long last = leftTop + view.top + rows_ - 1;
  while (index < last) {
    if (cursorRow_ != row) {
      hideCursor(out);
      moveTo(row, 0, out);
    }
    out += '\n';
    if (row == rows_ - 1) {
      shiftUp(1);
    } else {
      ++row;
    }
    cursorRow_ = row;
    syncRow(row, sequenceRow(grid, ++index), view, out);
  }
  compareAll_ = false;  // every row the terminal shows is up to date
}

// The rows are a ring: a scroll moves its top, not the cells (a long run scrolls at every row).
void Renderer::shiftUp(int count) {
  shownTop_ = (shownTop_ + count) % rows_;
  // The new rows are blank in some colour.
  for (int row = rows_ - count; row < rows_; ++row) known_[slotOf(row)] = 0;
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
  ConsoleCell* shown = shownRow(row);
  const bool known = known_[slotOf(row)] != 0;
  known_[slotOf(row)] = 1;
  if (!known && terminalColumns_ > columns_ && !caps_.eraseLine.empty()) {
    // the rest of a row too wide to track
    hideCursor(out);
    moveTo(row, columns_, out);
    setPen(kOutside.attribute, out);
    out += caps_.eraseLine;
  }
  auto differs = [&](int column) { return !known || shown[column] != want[column]; };

  int lastChange = columns_ - 1;
  while (lastChange >= 0 && !differs(lastChange)) --lastChange;
  if (lastChange < 0) return;
  // The row ends in blanks of one colour: from blanksFrom on they are cheaper erased (ESC [ K,
  // three bytes) than written, as long as more than three cells up to the last change differ.
  const ConsoleCell blank = want[columns_ - 1];
  const int blanksFrom = blank.character == ' ' && !caps_.eraseLine.empty()
                             ? closingRunStart(want, columns_)
                             : columns_;
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
    int end = column + 1;
    while (end < eraseFrom && differs(end)) ++end;
    writeCells(want + column, end - column, out);
    std::copy(want + column, want + end, shown + column);
    column = end;
    cursorColumn_ = column;
    // In the last column the cursor stays put or waits to wrap, depending on the terminal:
    // only a carriage return or an absolute move knows where it goes from there.
    if (column == columns_) cursorColumn_ = -1;
  }
}

// A run of cells as text from the cursor on, through a small buffer: one append per colour
// change.
void Renderer::writeCells(const ConsoleCell* cells, int count, std::string& out) {
  GlyphRun<Glyph> run(glyphs_);
  for (const ConsoleCell& cell : std::span(cells, static_cast<std::size_t>(count))) {
    if (cell.attribute != penAttribute_) {
      run.flush(out);
      setPen(cell.attribute, out);
    }
    run.add(cell.character, out);
  }
  run.flush(out);
}

// From the cursor to the end of its row. The cursor stays where it is.
void Renderer::eraseToEnd(ConsoleCell blank, ConsoleCell* shown, int count, std::string& out) {
  setPen(blank.attribute, out);
  out += caps_.eraseLine;
  std::fill(shown, shown + count, blank);
}

void Renderer::placeCursor(const ScreenGrid& grid, const View& view, std::string& out) {
  const int row = std::clamp<int>(grid.cursor().y - view.top, 0, view.rows - 1);
  const int column = std::clamp<int>(grid.cursor().x - view.left, 0, view.columns - 1);
  moveTo(row, column, out);
}

void Renderer::forward(int count, std::string& out) {
  if (count == 1 && !caps_.cursorRight1.empty()) {
    out += caps_.cursorRight1;
  } else if (caps_.cursorRight) {
    caps_.cursorRight(out, count);
  } else {
    for (int i = 0; i < count; ++i) out += caps_.cursorRight1;
  }
}

// Along the cursor's row, or from its start or the start of the row below, when the terminal
// can move right (it always can go back with a carriage return); absolutely otherwise. The
// moves that stay near the cursor are also the shorter ones.
void Renderer::moveTo(int row, int column, std::string& out) {
  if (row == cursorRow_ && column == cursorColumn_) return;
  const bool right = caps_.cursorRight || !caps_.cursorRight1.empty();
  if (row == cursorRow_ && column == 0) {
    out += '\r';
  } else if (row == cursorRow_ && cursorColumn_ >= 0 && column > cursorColumn_ && right) {
    forward(column - cursorColumn_, out);
  } else if (row == cursorRow_ && right) {
    out += '\r';
    forward(column, out);
  } else if (cursorRow_ >= 0 && row == cursorRow_ + 1 && (column == 0 || right)) {
    out += "\r\n";
    if (column > 0) forward(column, out);
  } else {
    caps_.cursorAddress(out, row, column);
  }
  cursorRow_ = row;
  cursorColumn_ = column;
}

// The pen that draws an attribute on this terminal: its colours as far as it has them.
int Renderer::penFor(std::uint8_t attribute) const {
  if (caps_.colours == 0) return 0;
  int foreground = terminalColour(attribute & 7) | (attribute & 0x08);
  int background = terminalColour((attribute >> 4) & 7) | ((attribute & 0x80) >> 4);
  int bold = 0;
  if (caps_.colours < 16) {
    // Bright ones as bold where the terminal has it, else the nearest of the 8 (grey, the
    // bright black, is nearer white than black on a dark screen).
    if (foreground >= 8 && !caps_.bold.empty()) {
      bold = penBold;
      foreground -= 8;
    }
    if (foreground >= 8) foreground = foreground == 8 ? 7 : foreground - 8;
    if (background >= 8) background = background == 8 ? 7 : background - 8;
  }
  return foreground | (background << 4) | bold;
}

void Renderer::setPen(std::uint8_t attribute, std::string& out) {
  penAttribute_ = attribute;
  const int pen = penFor(attribute);
  if (pen_ == pen) return;
  if (caps_.colours == 0) {  // one pen for every attribute: the terminal's own colours
    if (pen_ < 0) out += caps_.plain;
    pen_ = pen;
    return;
  }
  // Nothing else (bold, reverse, ...) may linger from before; bold goes only with everything.
  const bool fresh = pen_ < 0 || ((pen_ & penBold) && !(pen & penBold));
  if (fresh) out += caps_.plain;
  if ((pen & penBold) && (fresh || !(pen_ & penBold))) out += caps_.bold;
  if (fresh || penForeground(pen_) != penForeground(pen)) {
    out += caps_.foreground[penForeground(pen)];
  }
  if (fresh || penBackground(pen_) != penBackground(pen)) {
    out += caps_.background[penBackground(pen)];
  }
  pen_ = pen;
}

void Renderer::hideCursor(std::string& out) {
  if (cursorVisibility_ == Visibility::hidden) return;
  out += caps_.hideCursor;
  cursorVisibility_ = Visibility::hidden;
}

}  // namespace qv
