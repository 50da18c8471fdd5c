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

}  // namespace

ScreenGrid::ScreenGrid(int columns, int rows, ConsoleCell blank, int scrollLogRows)
    : columns_(std::max(columns, 1)),
      rows_(std::max(rows, 1)),
      cells_(size_t(columns_) * rows_, blank),
      dirty_(size_t(rows_), 1),
      logCapacity_(std::max(scrollLogRows, 1)),
      log_(size_t(logCapacity_) * columns_, blank) {}

void ScreenGrid::writeCell(ConsoleCoord position, ConsoleCell cell) {
  if (!contains(position.x, position.y)) return;
  rowCells(position.y)[position.x] = cell;
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
  long kept = std::min<long>(scrolledOff_, logCapacity_);
  long first = scrolledOff_ - kept;  // index of the oldest kept row in the whole sequence
  long slot = (first + i) % logCapacity_;
  return {&log_[size_t(slot) * columns_], size_t(columns_)};
}

void ScreenGrid::logRow(int row) {
  long slot = scrolledOff_ % logCapacity_;
  std::memcpy(&log_[size_t(slot) * columns_], rowCells(row), sizeof(ConsoleCell) * columns_);
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

void ScreenGrid::scroll(ConsoleRect sourceRect, const ConsoleRect* clipRect,
                        ConsoleCoord destination, ConsoleCell fill) {
  const Box screen{0, 0, columns_ - 1, rows_ - 1};
  Box source = intersect(boxOf(sourceRect), screen);
  if (source.empty()) return;
  Box clip = intersect(clipRect ? boxOf(*clipRect) : screen, screen);
  if (clip.empty()) return;

  // The common case, a whole-screen scroll up, rotates the ring; those rows go to the log.
  const int up = source.top - destination.y;
  if (source.left == 0 && source.top == 0 && source.right == columns_ - 1 &&
      source.bottom == rows_ - 1 && clip.left == 0 && clip.top == 0 && clip.right == columns_ - 1 &&
      clip.bottom == rows_ - 1 && destination.x == 0 && up > 0 && up < rows_) {
    scrollWholeScreenUp(up, fill);
    return;
  }

  const int width = source.right - source.left + 1;
  const int height = source.bottom - source.top + 1;
  std::vector<ConsoleCell>& block = scratch_;  // reused: no allocation once it has grown
  block.resize(size_t(width) * height);
  for (int y = 0; y < height; ++y) {
    const ConsoleCell* from = rowCells(source.top + y) + source.left;
    std::copy(from, from + width, &block[size_t(y) * width]);
  }
  const Box target{destination.x, destination.y, destination.x + width - 1,
                   destination.y + height - 1};
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
      rowCells(y)[x] = block[size_t(y - target.top) * width + (x - target.left)];
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
