// A screen buffer held in memory: the cells, the cursor, and what changed since the renderer
// last looked. Rows live in a ring, so that scrolling the whole screen up costs one row, not
// the whole grid; the rows that leave the top that way (and the rows on display when the whole
// screen is cleared) are kept in a bounded log, so that a terminal can receive them in its
// scrollback.
//
// Its size is bounded whatever a terminal reports: at most maxColumns by maxRows cells (2 MiB),
// so that a huge window costs no more than that; such a window shows the grid in its top-left
// part.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "console/console_platform.h"

namespace qv {

class ScreenGrid {
 public:
  static constexpr int maxColumns = 1024;
  static constexpr int maxRows = 1024;
  // Rows the log holds at least (always at least one screenful, so that a clear fits in it).
  static constexpr int defaultScrollLogRows = 1024;

  // Sizes beyond the bounds above are cut to them.
  ScreenGrid(int columns, int rows, ConsoleCell blank, int scrollLogRows = defaultScrollLogRows);

  // A new size (cut to the bounds). The cells that fit are kept, new ones are blank. When the
  // cursor's row would fall off the bottom, the rows above it move up and out through the log,
  // as a terminal that gets fewer rows moves its own into its scrollback; so the cursor keeps
  // its row, and its column is clamped. extraRowsLeaving rows above the cursor leave too (a
  // terminal that moved more of its rows into its scrollback than that). Everything is marked
  // changed.
  void resize(int columns, int rows, ConsoleCell blank, int extraRowsLeaving = 0);

  int columns() const { return columns_; }
  int rows() const { return rows_; }
  bool contains(int column, int row) const {
    return column >= 0 && column < columns_ && row >= 0 && row < rows_;
  }

  ConsoleCell cell(int column, int row) const { return rowCells(row)[column]; }
  std::span<const ConsoleCell> row(int row) const {
    return {rowCells(row), static_cast<size_t>(columns_)};
  }

  // The platform's drawing operations (see ConsolePlatform); positions outside are ignored. A
  // scroll that moves the whole screen out above its top is a clear: the rows down to the last
  // one that is not blank go into the log first, as on a terminal that scrolls them away.
  void writeCell(ConsoleCoord position, ConsoleCell cell);
  // writeCell along the row from position on, with one attribute.
  void writeCells(ConsoleCoord position, std::span<const std::uint8_t> characters,
                  std::uint8_t attribute);
  void scroll(ConsoleRect source, const ConsoleRect* clip, ConsoleCoord destination,
              ConsoleCell fill);
  void fillCharacter(std::uint8_t character, int count, ConsoleCoord position);
  void fillAttribute(std::uint8_t attribute, int count, ConsoleCoord position);
  void fill(ConsoleCell cell);  // every cell

  ConsoleCoord cursor() const { return cursor_; }
  void setCursor(ConsoleCoord position);

  // Change tracking for a renderer. A row is dirty when one of its cells may have changed since
  // clearChanges(); rows moved by a whole-screen scroll keep their own flags.
  bool rowDirty(int row) const { return dirty_[physical(row)] != 0; }
  bool changed() const { return changed_; }
  void clearChanges();

  // Rows that left the top through whole-screen scroll-ups since clearChanges(), oldest first.
  // Only the newest scrollLogCapacity() are kept; an owner presents before the log overflows.
  long scrolledOffCount() const { return scrolledOff_; }
  int scrollLogCapacity() const { return logCapacity_; }
  bool scrollLogFull() const { return scrolledOff_ >= logCapacity_; }
  // Rows the log takes before it drops the oldest; a scroll adds at most rows() of them.
  long scrollLogRoom() const { return std::max(0L, logCapacity_ - scrolledOff_); }
  // i counts from the oldest row still kept: 0 <= i < min(scrolledOffCount(), capacity).
  std::span<const ConsoleCell> scrolledOffRow(long i) const;
  // The row was the last one shown when the screen was cleared (so a teletype can mark it).
  bool scrolledOffRowEndsClear(long i) const { return logEndsClear_[logSlot(i)] != 0; }

 private:
  int physical(int row) const { return (row + top_) % rows_; }
  ConsoleCell* rowCells(int row) { return &cells_[static_cast<size_t>(physical(row)) * columns_]; }
  const ConsoleCell* rowCells(int row) const {
    return &cells_[static_cast<size_t>(physical(row)) * columns_];
  }
  void markDirty(int row) {
    dirty_[physical(row)] = 1;
    changed_ = true;
  }
  long logSlot(long i) const {
    return (scrolledOff_ - std::min<long>(scrolledOff_, logCapacity_) + i) % logCapacity_;
  }
  void scrollWholeScreenUp(int count, ConsoleCell fill);
  void clearIntoLog(ConsoleCell fill);
  void logRow(int row);
  bool rowIsBlank(int row, ConsoleCell fill) const;

  int columns_;
  int rows_;
  int top_ = 0;  // physical index of row 0
  std::vector<ConsoleCell> cells_;
  std::vector<std::uint8_t> dirty_;
  bool changed_ = true;
  ConsoleCoord cursor_{0, 0};

  int logRowsWanted_;
  int logCapacity_;
  std::vector<ConsoleCell> log_;            // ring of logCapacity_ rows
  std::vector<std::uint8_t> logEndsClear_;  // per row of the ring
  std::vector<ConsoleCell> scratch_;        // the block a general scroll moves
  long scrolledOff_ = 0;
};

}  // namespace qv
