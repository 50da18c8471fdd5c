// The screen buffer in memory that the terminal is drawn from: fills that run on over rows and
// stop at the bottom, scrolls that keep inside their clip, and what the renderer is told to
// redraw.
#include "console/screen_grid.h"

#include <gtest/gtest.h>

#include <string>

namespace qv {
namespace {

constexpr ConsoleCell blank{' ', 0x07};

// The rows, '|' between them: the characters, or with `attributes` a '*' for every cell whose
// attribute is not the blank's.
std::string rows(const ScreenGrid& grid, bool attributes = false) {
  std::string text;
  for (int y = 0; y < grid.rows(); ++y) {
    if (y > 0) text += '|';
    for (ConsoleCell c : grid.row(y)) {
      text += attributes ? (c.attribute == blank.attribute ? '.' : '*') : char(c.character);
    }
  }
  return text;
}

TEST(ScreenGrid, FillsRunOnToTheNextRowAndStopAtTheBottom) {
  ScreenGrid grid(4, 3, blank);
  grid.fillCharacter('x', 6, {2, 0});
  EXPECT_EQ(rows(grid), "  xx|xxxx|    ");
  grid.fillAttribute(0x1E, 9, {3, 1});  // five cells to the bottom right corner, no further
  EXPECT_EQ(rows(grid, true), "....|...*|****");
}

TEST(ScreenGrid, AScrollChangesOnlyTheCellsInsideItsClip) {
  ScreenGrid grid(3, 4, blank);
  for (int y = 0; y < 4; ++y) grid.fillCharacter(std::uint8_t('a' + y), 3, {0, std::int16_t(y)});
  const ConsoleRect whole{0, 0, 2, 3}, middle{0, 1, 2, 2};
  grid.scroll(whole, &middle, {0, -1}, {'-', 0x07});
  EXPECT_EQ(rows(grid), "aaa|ccc|ddd|ddd");
  grid.scroll(whole, &whole, {1, 0}, {'-', 0x07});  // to the right: the first column is filled
  EXPECT_EQ(rows(grid), "-aa|-cc|-dd|-dd");
}

// The renderer redraws a row only when it is marked, and presents a frame only when something
// changed: a cursor that moved on its own is such a change (Left, Home), one that stayed is not.
TEST(ScreenGrid, ChangesFollowTheRowsAndTheCursor) {
  ScreenGrid grid(3, 3, blank);
  grid.writeCell({0, 0}, {'y', 0x07});
  grid.clearChanges();
  grid.setCursor(grid.cursor());
  EXPECT_FALSE(grid.changed());
  grid.setCursor({1, 0});
  EXPECT_TRUE(grid.changed());

  grid.clearChanges();
  grid.writeCell({0, 2}, {'z', 0x07});
  const ConsoleRect whole{0, 0, 2, 2};
  grid.scroll(whole, &whole, {0, -1}, blank);  // "y" leaves the top, "z" moves up, a blank row in
  EXPECT_EQ(rows(grid), "   |z  |   ");
  std::string dirty;
  for (int y = 0; y < grid.rows(); ++y) dirty += grid.rowDirty(y) ? '1' : '0';
  EXPECT_EQ(dirty, "011");
  ASSERT_EQ(grid.scrolledOffCount(), 1);
  EXPECT_EQ(grid.scrolledOffRow(0)[0].character, 'y');
}

}  // namespace
}  // namespace qv
