// The in-memory screen buffer's scrolling: the ring behind whole-screen scrolls, the rows it
// logs for a terminal's scrollback, and clipping.
#include "console/screen_grid.h"

#include <gtest/gtest.h>

#include <string>

namespace qv {
namespace {

std::string text(std::span<const ConsoleCell> cells) {
  std::string s;
  for (const ConsoleCell& c : cells) s.push_back(static_cast<char>(c.character));
  return s;
}

// Rows "aaa", "bbb", ... of three columns.
ScreenGrid lettered(int rows, int logRows = 8) {
  ScreenGrid grid(3, rows, {'.', 7}, logRows);
  for (int r = 0; r < rows; ++r) {
    for (std::int16_t x = 0; x < 3; ++x) {
      grid.writeCell({x, static_cast<std::int16_t>(r)}, {static_cast<std::uint8_t>('a' + r), 7});
    }
  }
  return grid;
}

TEST(ScreenGridTest, WholeScreenScrollsKeepRowsInOrderAndLogTheOnesThatLeave) {
  ScreenGrid grid = lettered(4, 2);
  grid.clearChanges();
  const ConsoleRect all{0, 0, 2, 3};
  for (int i = 0; i < 3; ++i) grid.scroll(all, &all, {0, -1}, {' ', 0x1E});
  EXPECT_EQ(text(grid.row(0)), "ddd");
  EXPECT_EQ(text(grid.row(3)), "   ");
  EXPECT_EQ(grid.cell(0, 3), (ConsoleCell{' ', 0x1E}));
  grid.writeCell({1, 0}, {'X', 7});
  EXPECT_EQ(text(grid.row(0)), "dXd");
  EXPECT_TRUE(grid.rowDirty(3));
  EXPECT_EQ(grid.scrolledOffCount(), 3);
  EXPECT_TRUE(grid.scrollLogFull());
  EXPECT_EQ(text(grid.scrolledOffRow(0)), "bbb");  // the oldest kept; "aaa" fell out
  EXPECT_EQ(text(grid.scrolledOffRow(1)), "ccc");
}

TEST(ScreenGridTest, ScrollChangesOnlyCellsInsideTheClip) {
  ScreenGrid grid = lettered(4);
  const ConsoleRect source{0, 1, 2, 3};  // rows b to d
  const ConsoleRect clip{1, 0, 2, 3};    // columns 1 and 2 only
  grid.scroll(source, &clip, {0, 0}, {' ', 7});
  EXPECT_EQ(text(grid.row(0)), "abb");
  EXPECT_EQ(text(grid.row(1)), "bcc");
  EXPECT_EQ(text(grid.row(2)), "cdd");
  EXPECT_EQ(text(grid.row(3)), "d  ");
  EXPECT_EQ(grid.scrolledOffCount(), 0);
}

TEST(ScreenGridTest, BlockMovedOffTheBufferLeavesOnlyFill) {
  ScreenGrid grid = lettered(4);
  const ConsoleRect all{0, 0, 2, 3};
  grid.scroll(all, &all, {-3, -4}, {' ', 7});
  for (int r = 0; r < 4; ++r) EXPECT_EQ(text(grid.row(r)), "   ");
  grid.scroll(all, &all, {0, 1}, {'#', 7});  // down by one: the top row is filled
  EXPECT_EQ(text(grid.row(0)), "###");
}

}  // namespace
}  // namespace qv
