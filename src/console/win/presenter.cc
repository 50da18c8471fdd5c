#include "console/win/presenter.h"

#include <algorithm>

namespace qv {

namespace {

// One console call moves at most this many cells (older consoles refuse bigger requests).
constexpr int cellsPerCall = 8192;

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

// A row of blanks of one colour: the console fills it itself, cheaper than rewriting it.
bool isBlankRow(const ScreenGrid& grid, int row, ConsoleCell& blank) {
  const auto cells = grid.row(row);
  blank = cells[0];
  return blank.character == ' ' &&
         std::all_of(cells.begin(), cells.end(), [&](ConsoleCell c) { return c == blank; });
}

}  // namespace

bool WindowsPresenter::open(HANDLE output, ConsoleCoord& size, ConsoleCoord& cursor,
                            WORD& attributes) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(output, &info)) return false;
  output_ = output;
  size = {info.dwSize.X, info.dwSize.Y};
  cursor = {info.dwCursorPosition.X, info.dwCursorPosition.Y};
  attributes = info.wAttributes;
  shownCursor_ = {-1, -1};
  return true;
}

int WindowsPresenter::rowsPerCall(int columns) {
  const int rows = std::max(1, cellsPerCall / columns);
  staging_.resize(static_cast<std::size_t>(rows) * columns);
  return rows;
}

void WindowsPresenter::load(ScreenGrid& grid) {
  const int columns = grid.columns();
  const int rowsPerCall = this->rowsPerCall(columns);
  for (int first = 0; first < grid.rows(); first += rowsPerCall) {
    const int count = std::min(rowsPerCall, grid.rows() - first);
    SMALL_RECT region = {0, static_cast<SHORT>(first), static_cast<SHORT>(columns - 1),
                         static_cast<SHORT>(first + count - 1)};
    if (!ReadConsoleOutputA(output_, staging_.data(),
                            {static_cast<SHORT>(columns), static_cast<SHORT>(count)}, {0, 0},
                            &region)) {
      continue;  // left blank: the console could not say
    }
    for (int row = 0; row < count; ++row) {
      for (int column = 0; column < columns; ++column) {
        grid.writeCell({static_cast<SHORT>(column), static_cast<SHORT>(first + row)},
                       fromCharInfo(staging_[static_cast<std::size_t>(row) * columns + column]));
      }
    }
  }
  grid.clearChanges();
  shownCursor_ = grid.cursor();
}

void WindowsPresenter::writeRows(const ScreenGrid& grid, int first, int count) {
  const int columns = grid.columns();
  for (int row = 0; row < count; ++row) {
    const auto cells = grid.row(first + row);
    std::transform(cells.begin(), cells.end(),
                   staging_.begin() + static_cast<std::ptrdiff_t>(row) * columns, toCharInfo);
  }
  SMALL_RECT region = {0, static_cast<SHORT>(first), static_cast<SHORT>(columns - 1),
                       static_cast<SHORT>(first + count - 1)};
  WriteConsoleOutputA(output_, staging_.data(),
                      {static_cast<SHORT>(columns), static_cast<SHORT>(count)}, {0, 0}, &region);
}

void WindowsPresenter::fillRows(const ScreenGrid& grid, int first, int count) {
  const ConsoleCell blank = grid.cell(0, first);
  const DWORD cells = static_cast<DWORD>(grid.columns()) * static_cast<DWORD>(count);
  DWORD done = 0;
  FillConsoleOutputCharacterA(output_, static_cast<CHAR>(blank.character), cells,
                              {0, static_cast<SHORT>(first)}, &done);
  FillConsoleOutputAttribute(output_, blank.attribute, cells, {0, static_cast<SHORT>(first)},
                             &done);
}

namespace {

// Whether the frame holds a clear: its rows went into the log, the last of them marked.
bool clearedSince(const ScreenGrid& grid) {
  const long kept = std::min<long>(grid.scrolledOffCount(), grid.scrollLogCapacity());
  for (long i = 0; i < kept; ++i) {
    if (grid.scrolledOffRowEndsClear(i)) return true;
  }
  return false;
}

}  // namespace

// The screen is the whole buffer, which in a console window of its own is taller than the
// window: after a clear the window goes back to the buffer's top, where the drawing starts
// again (the console only scrolls it as far as the cursor needs).
void WindowsPresenter::showTop() {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(output_, &info) || info.srWindow.Top == 0) return;
  const SMALL_RECT window = {info.srWindow.Left, 0, info.srWindow.Right,
                             static_cast<SHORT>(info.srWindow.Bottom - info.srWindow.Top)};
  SetConsoleWindowInfo(output_, TRUE, &window);
}

void WindowsPresenter::present(ScreenGrid& grid) {
  if (output_ == INVALID_HANDLE_VALUE || !grid.changed()) return;
  const bool cleared = clearedSince(grid);
  // Rows that a whole-screen scroll moved keep their dirty flags: the console moves them too.
  if (const long up = std::min<long>(grid.scrolledOffCount(), grid.rows()); up > 0) {
    // The rows that stay move to the top; every row emptied below them is dirty and written
    // below. (Kept inside the buffer: Wine's console shows a move out of it wrongly.)
    const SMALL_RECT whole = {0, 0, static_cast<SHORT>(grid.columns() - 1),
                              static_cast<SHORT>(grid.rows() - 1)};
    const SMALL_RECT staying = {0, static_cast<SHORT>(up), whole.Right, whole.Bottom};
    CHAR_INFO fill = toCharInfo({' ', 0x07});
    if (up < grid.rows()) ScrollConsoleScreenBufferA(output_, &staying, &whole, {0, 0}, &fill);
  }
  const int rowsPerCall = this->rowsPerCall(grid.columns());
  for (int row = 0; row < grid.rows();) {
    if (!grid.rowDirty(row)) {
      ++row;
      continue;
    }
    int end = row + 1;
    ConsoleCell blank{}, next{};
    if (isBlankRow(grid, row, blank)) {
      while (end < grid.rows() && grid.rowDirty(end) && isBlankRow(grid, end, next) &&
             next == blank) {
        ++end;
      }
      fillRows(grid, row, end - row);
    } else {
      while (end < grid.rows() && end - row < rowsPerCall && grid.rowDirty(end)) ++end;
      writeRows(grid, row, end - row);
    }
    row = end;
  }
  if (cleared) showTop();
  if (cleared || !(grid.cursor() == shownCursor_)) {
    SetConsoleCursorPosition(output_, {grid.cursor().x, grid.cursor().y});
    shownCursor_ = grid.cursor();
  }
  grid.clearChanges();
}

}  // namespace qv
