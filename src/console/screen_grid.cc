#include "console/screen_grid.h"

#include <algorithm>
#include <cstring>

namespace qv {

namespace {

struct Box {  // inclusive bounds in int, so that negative positions do not wrap
  int left, top, right, bottom;
  bool empty() const { return left > right || top > bottom; }
  bool contains(int x, int y) const { return x >= left && x <= right && y >= top && y <= bottom; }
};

Box intersect(Box a, Box b) {
  return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
          std::min(a.bottom, b.bottom)};
}

Box boxOf(ConsoleRect r) {
  return {r.left, r.top, r.right, r.bottom};
}

bool operator==(Box a, Box b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

constexpr std::uint8_t backgroundBits = 0xF0;

}  // namespace

ScreenGrid::ScreenGrid(int columns, int rows, ConsoleCell blank, int scrollLogRows)
    : columns_(std::clamp(columns, 1, maxColumns)),
      rows_(std::clamp(rows, 1, maxRows)),
      cells_(static_cast<size_t>(columns_) * rows_, blank),
      dirty_(static_cast<size_t>(rows_), 1),
      logRowsWanted_(scrollLogRows),
      logCapacity_(std::max(scrollLogRows, rows_)),
      log_(static_cast<size_t>(logCapacity_) * columns_, blank),
      logEndsClear_(static_cast<size_t>(logCapacity_), 0) {}

void ScreenGrid::resize(int columns, int rows, ConsoleCell blank, int extraRowsLeaving) {
  columns = std::clamp(columns, 1, maxColumns);
  rows = std::clamp(rows, 1, maxRows);
  const int cursorRow = std::clamp<int>(cursor_.y, 0, rows_ - 1);
  const int leaving = std::min(cursorRow, std::max(0, cursorRow + 1 - rows) + extraRowsLeaving);
  for (int row = 0; row < leaving; ++row) logRow(row);
  const int keptColumns = std::min(columns, columns_);

  // The log's rows keep their places in the sequence of rows that left.
  const int logCapacity = std::max(logRowsWanted_, rows);
  std::vector<ConsoleCell> log(static_cast<size_t>(logCapacity) * columns, blank);
  std::vector<std::uint8_t> logEndsClear(static_cast<size_t>(logCapacity), 0);
  const long kept = std::min<long>({scrolledOff_, logCapacity_, logCapacity});
  for (long index = scrolledOff_ - kept; index < scrolledOff_; ++index) {
    std::copy_n(&log_[static_cast<size_t>(index % logCapacity_) * columns_], keptColumns,
                &log[static_cast<size_t>(index % logCapacity) * columns]);
    logEndsClear[static_cast<size_t>(index % logCapacity)] =
        logEndsClear_[static_cast<size_t>(index % logCapacity_)];
  }

  std::vector<ConsoleCell> cells(static_cast<size_t>(columns) * rows, blank);
  for (int row = 0; row < std::min(rows, rows_ - leaving); ++row) {
    std::copy_n(rowCells(leaving + row), keptColumns, &cells[static_cast<size_t>(row) * columns]);
  }

  columns_ = columns;
  rows_ = rows;
  top_ = 0;
  cells_ = std::move(cells);
  dirty_.assign(static_cast<size_t>(rows_), 1);
  changed_ = true;
  logCapacity_ = logCapacity;
  log_ = std::move(log);
  logEndsClear_ = std::move(logEndsClear);
  cursor_ = {static_cast<std::int16_t>(std::clamp<int>(cursor_.x, 0, columns_ - 1)),
             static_cast<std::int16_t>(cursorRow - leaving)};
}

void ScreenGrid::writeCell(ConsoleCoord position, ConsoleCell cell) {
  if (!contains(position.x, position.y)) return;
  rowCells(position.y)[position.x] = cell;
  markDirty(position.y);
}

void ScreenGrid::writeCells(ConsoleCoord position, std::span<const std::uint8_t> characters,
                            std::uint8_t attribute) {
  if (position.y < 0 || position.y >= rows_) return;
  const int first = std::max(0, -position.x);
  const int end = static_cast<int>(
      std::min<std::size_t>(characters.size(), std::max(0, columns_ - position.x)));
  if (first >= end) return;
  ConsoleCell* cells = rowCells(position.y);
  for (int i = first; i < end; ++i) cells[position.x + i] = {characters[i], attribute};
  markDirty(position.y);
}

void ScreenGrid::setCursor(ConsoleCoord position) {
  if (position.x != cursor_.x || position.y != cursor_.y) changed_ = true;
  cursor_ = position;
}

void ScreenGrid::clearChanges() {
  std::fill(dirty_.begin(), dirty_.end(), 0);
  changed_ = false;
  scrolledOff_ = 0;
}

std::span<const ConsoleCell> ScreenGrid::scrolledOffRow(long i) const {
  return {&log_[static_cast<size_t>(logSlot(i)) * columns_], static_cast<size_t>(columns_)};
}

void ScreenGrid::logRow(int row) {
  long slot = scrolledOff_ % logCapacity_;
  std::memcpy(&log_[static_cast<size_t>(slot) * columns_], rowCells(row),
              sizeof(ConsoleCell) * columns_);
  logEndsClear_[static_cast<size_t>(slot)] = 0;
  ++scrolledOff_;
}

void ScreenGrid::scrollWholeScreenUp(int count, ConsoleCell fill) {
  for (int i = 0; i < count; ++i) {
    logRow(0);
    ConsoleCell* leaving = rowCells(0);
    std::fill(leaving, leaving + columns_, fill);
    top_ = (top_ + 1) % rows_;  // the blanked row is now the bottom one
    markDirty(rows_ - 1);
  }
}

bool ScreenGrid::rowIsBlank(int row, ConsoleCell fill) const {
  const ConsoleCell* cells = rowCells(row);
  return std::all_of(cells, cells + columns_, [fill](ConsoleCell cell) {
    return cell.character == ' ' &&
           (cell.attribute & backgroundBits) == (fill.attribute & backgroundBits);
  });
}

// What is on display leaves the top, down to its last row that shows anything: the blank rows
// below it would only put a gap into the scrollback.
void ScreenGrid::clearIntoLog(ConsoleCell fill) {
  int shown = rows_;
  while (shown > 0 && rowIsBlank(shown - 1, fill)) --shown;
  for (int row = 0; row < shown; ++row) logRow(row);
  if (shown > 0) logEndsClear_[static_cast<size_t>((scrolledOff_ - 1) % logCapacity_)] = 1;
  this->fill(fill);
}

void ScreenGrid::scroll(ConsoleRect sourceRect, const ConsoleRect* clipRect,
                        ConsoleCoord destination, ConsoleCell fill) {
  const Box screen{0, 0, columns_ - 1, rows_ - 1};
  Box source = intersect(boxOf(sourceRect), screen);
  if (source.empty()) return;
  Box clip = intersect(clipRect ? boxOf(*clipRect) : screen, screen);
  if (clip.empty()) return;

  const int width = source.right - source.left + 1;
  const int height = source.bottom - source.top + 1;
  const Box target{destination.x, destination.y, destination.x + width - 1,
                   destination.y + height - 1};
  // The common cases move the whole screen up: by part of its height, which rotates the ring,
  // or out of it altogether, which clears it. Either way the rows that leave go to the log.
  const bool wholeScreen = source == screen && clip == screen;
  const int up = source.top - destination.y;
  if (wholeScreen && destination.x == 0 && up > 0 && up < rows_) {
    scrollWholeScreenUp(up, fill);
    return;
  }
  if (wholeScreen && target.bottom < 0) {
    clearIntoLog(fill);
    return;
  }
  std::vector<ConsoleCell>& block = scratch_;  // reused: no allocation once it has grown
  block.resize(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    const ConsoleCell* from = rowCells(source.top + y) + source.left;
    std::copy(from, from + width, &block[static_cast<size_t>(y) * width]);
  }
  const Box filled = intersect(source, clip);
  for (int y = filled.top; y <= filled.bottom; ++y) {
    for (int x = filled.left; x <= filled.right; ++x) {
      if (!target.contains(x, y)) rowCells(y)[x] = fill;
    }
    if (!filled.empty()) markDirty(y);
  }
  const Box written = intersect(target, clip);
  for (int y = written.top; y <= written.bottom; ++y) {
    for (int x = written.left; x <= written.right; ++x) {
      rowCells(y)[x] = block[static_cast<size_t>(y - target.top) * width + (x - target.left)];
    }
    markDirty(y);
  }
}

void ScreenGrid::fillCharacter(std::uint8_t character, int count, ConsoleCoord position) {
  if (!contains(position.x, position.y)) return;
  int x = position.x, y = position.y;
  for (int i = 0; i < count && y < rows_; ++i) {
    rowCells(y)[x].character = character;
    markDirty(y);
    if (++x == columns_) x = 0, ++y;
  }
}

void ScreenGrid::fillAttribute(std::uint8_t attribute, int count, ConsoleCoord position) {
  if (!contains(position.x, position.y)) return;
  int x = position.x, y = position.y;
  for (int i = 0; i < count && y < rows_; ++i) {
    rowCells(y)[x].attribute = attribute;
    markDirty(y);
    if (++x == columns_) x = 0, ++y;
  }
}

void ScreenGrid::fill(ConsoleCell cell) {
  std::fill(cells_.begin(), cells_.end(), cell);
  std::fill(dirty_.begin(), dirty_.end(), 1);
  changed_ = true;
}

}  // namespace qv
