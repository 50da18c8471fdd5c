#include "console/win/console_screen.h"

#include <algorithm>

namespace qv {

namespace {

// One console call moves at most this many cells (older consoles refuse bigger requests).
constexpr int cellsPerCall = 8192;
// Whole-screen scroll-ups remembered between presents before the console must follow.
constexpr int scrollLogRows = 64;

CHAR_INFO toCharInfo(ConsoleCell cell) {
  CHAR_INFO info{};
  info.Char.AsciiChar = static_cast<CHAR>(cell.character);
  info.Attributes = cell.attribute;
  return info;
}

ConsoleCell fromCharInfo(const CHAR_INFO& info) {
  return {static_cast<std::uint8_t>(info.Char.AsciiChar),
          static_cast<std::uint8_t>(info.Attributes & 0xFF)};
}

}  // namespace

void ConsoleScreen::open(HANDLE output, ConsoleCoord size) {
  output_ = output;
  grid_.emplace(size.x, size.y, ConsoleCell{' ', 0x07}, scrollLogRows);
  const int rowsPerCall = std::max(1, cellsPerCall / grid_->columns());
  staging_.assign(std::size_t(rowsPerCall) * grid_->columns(), CHAR_INFO{});
  readBuffer();
  grid_->clearChanges();
  shownCursor_ = {-1, -1};
  lastPresent_ = GetTickCount();
}

void ConsoleScreen::close() {
  grid_.reset();
  staging_.clear();
  output_ = INVALID_HANDLE_VALUE;
}

// The first output continues where the console's cursor stood: rows written whole must keep
// what the buffer held before.
void ConsoleScreen::readBuffer() {
  ScreenGrid& grid = *grid_;
  const int columns = grid.columns();
  const int rowsPerCall = int(staging_.size()) / columns;
  for (int first = 0; first < grid.rows(); first += rowsPerCall) {
    const int count = std::min(rowsPerCall, grid.rows() - first);
    SMALL_RECT region = {0, SHORT(first), SHORT(columns - 1), SHORT(first + count - 1)};
    if (!ReadConsoleOutputA(output_, staging_.data(), {SHORT(columns), SHORT(count)}, {0, 0},
                            &region)) {
      continue;  // left blank: the console could not say
    }
    for (int row = 0; row < count; ++row) {
      for (int column = 0; column < columns; ++column) {
        grid.writeCell({SHORT(column), SHORT(first + row)},
                       fromCharInfo(staging_[std::size_t(row) * columns + column]));
      }
    }
  }
  grid.setCursor(grid.cursor());
}

void ConsoleScreen::writeRows(int first, int count) {
  const ScreenGrid& grid = *grid_;
  const int columns = grid.columns();
  for (int row = 0; row < count; ++row) {
    const auto cells = grid.row(first + row);
    std::transform(cells.begin(), cells.end(), staging_.begin() + std::ptrdiff_t(row) * columns,
                   toCharInfo);
  }
  SMALL_RECT region = {0, SHORT(first), SHORT(columns - 1), SHORT(first + count - 1)};
  WriteConsoleOutputA(output_, staging_.data(), {SHORT(columns), SHORT(count)}, {0, 0}, &region);
}

void ConsoleScreen::present() {
  if (!grid_) return;
  ScreenGrid& grid = *grid_;
  lastPresent_ = GetTickCount();
  if (!grid.changed()) return;
  // Rows that a whole-screen scroll moved keep their dirty flags: the console moves them too.
  if (const long up = std::min<long>(grid.scrolledOffCount(), grid.rows()); up > 0) {
    // The rows that stay move to the top; every row emptied below them is dirty and written
    // below. (Kept inside the buffer: Wine's console shows a move out of it wrongly.)
    const SMALL_RECT whole = {0, 0, SHORT(grid.columns() - 1), SHORT(grid.rows() - 1)};
    const SMALL_RECT staying = {0, SHORT(up), whole.Right, whole.Bottom};
    CHAR_INFO fill = toCharInfo({' ', 0x07});
    if (up < grid.rows()) ScrollConsoleScreenBufferA(output_, &staying, &whole, {0, 0}, &fill);
  }
  const int rowsPerCall = int(staging_.size()) / grid.columns();
  for (int row = 0; row < grid.rows();) {
    if (!grid.rowDirty(row)) {
      ++row;
      continue;
    }
    int end = row + 1;
    while (end < grid.rows() && end - row < rowsPerCall && grid.rowDirty(end)) ++end;
    writeRows(row, end - row);
    row = end;
  }
  if (!(grid.cursor() == shownCursor_)) {
    SetConsoleCursorPosition(output_, {grid.cursor().x, grid.cursor().y});
    shownCursor_ = grid.cursor();
  }
  grid.clearChanges();
}

void ConsoleScreen::presentIfDue() {
  if (grid_ && GetTickCount() - lastPresent_ >= presentIntervalMs) present();
}

void ConsoleScreen::clearNatively(ConsoleRect area, ConsoleCell fill) {
  if (!grid_) return;
  ScreenGrid& grid = *grid_;
  present();
  const int width = area.right - area.left + 1;
  const bool wholeRows = area.left == 0 && width == grid.columns();
  DWORD done = 0;
  for (int row = area.top; row <= area.bottom; ++row) {
    // Whole rows are one run of cells; otherwise each row is one.
    const DWORD count = DWORD(wholeRows ? width * (area.bottom - area.top + 1) : width);
    const COORD from = {area.left, SHORT(row)};
    FillConsoleOutputCharacterA(output_, CHAR(fill.character), count, from, &done);
    FillConsoleOutputAttribute(output_, fill.attribute, count, from, &done);
    if (wholeRows) break;
  }
  for (int row = area.top; row <= area.bottom; ++row) {
    for (int column = area.left; column <= area.right; ++column) {
      grid.writeCell({SHORT(column), SHORT(row)}, fill);
    }
  }
  grid.clearChanges();
}

}  // namespace qv
