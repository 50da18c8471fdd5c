// Drawing through standardOutput: cells, the wrap, the scroll, colours, the cursor, clearing.
#include <string>

#include "console_fixture.h"

namespace qv {
namespace {

using OutputTest = ConsoleTest;

TEST_F(OutputTest, WrapsAsSoonAsTheLastColumnIsDrawn) {
  write(std::string(80, 'a'));
  EXPECT_EQ(row(0), std::string(80, 'a'));
  EXPECT_EQ(cursor(), (ConsoleCoord{0, 1}));
}

TEST_F(OutputTest, FullWidthLineThenLineEndLeavesOneEmptyRow) {
  writeLine(std::string(80, '='));
  writeLine(std::string(79, '-'));
  writeLine("end");
  EXPECT_EQ(row(0), std::string(80, '='));
  EXPECT_EQ(row(1), "");
  EXPECT_EQ(row(2), std::string(79, '-'));
  EXPECT_EQ(row(3), "end");
  EXPECT_EQ(cursor(), (ConsoleCoord{0, 4}));
}

TEST_F(OutputTest, BottomRightCellScrollsAtOnceWithBlankRowInCurrentColours) {
  start({.attributeWord = 0x1F});
  writeLine("top");
  setTextColor(10);
  gotoWindowPosition(1, 25);
  write(std::string(80, 'z'));
  EXPECT_EQ(row(0), "");  // "top" has scrolled away
  EXPECT_EQ(row(23), std::string(80, 'z'));
  EXPECT_EQ(console->cell(0, 23), (ConsoleCell{'z', 0x1A}));
  EXPECT_EQ(row(24), "");
  for (int column = 0; column < 80; ++column) {
    ASSERT_EQ(console->cell(column, 24), (ConsoleCell{' ', 0x1A})) << column;
  }
  EXPECT_EQ(cursor(), (ConsoleCoord{0, 24}));
  write("next");
  EXPECT_EQ(row(24), "next");
}

TEST_F(OutputTest, LineEndOnLastRowScrollsOnceAndNextTextStartsInFirstColumn) {
  start({.rows = 300, .cursor = {0, 298}});
  writeLine("one");
  EXPECT_EQ(row(298), "one");
  EXPECT_EQ(cursor(), (ConsoleCoord{0, 299}));
  writeLine("two");
  EXPECT_EQ(row(297), "one");
  EXPECT_EQ(row(298), "two");
  EXPECT_EQ(row(299), "");
  EXPECT_EQ(cursor(), (ConsoleCoord{0, 299}));
}

TEST_F(OutputTest, ControlCharactersMoveOrDrawOneCell) {
  struct Case {
    std::uint8_t c;
    ConsoleCoord from;
    ConsoleCoord to;
    bool drawn;
  };
  const Case cases[] = {
      {7, {5, 3}, {5, 3}, false},   {8, {5, 3}, {4, 3}, false},  {8, {0, 3}, {0, 3}, false},
      {10, {5, 3}, {5, 4}, false},  {13, {5, 3}, {0, 3}, false}, {9, {5, 3}, {6, 3}, true},
      {11, {5, 3}, {6, 3}, true},   {12, {5, 3}, {6, 3}, true},  {0, {5, 3}, {6, 3}, true},
      {255, {79, 3}, {0, 4}, true},
  };
  for (const Case& c : cases) {
    console->grid().fill({'.', 0x07});
    gotoWindowPosition(static_cast<std::uint8_t>(c.from.x + 1),
                       static_cast<std::uint8_t>(c.from.y + 1));
    write(std::string(1, static_cast<char>(c.c)));
    EXPECT_EQ(cursor(), c.to) << "byte " << int(c.c);
    const ConsoleCell expected{c.drawn ? c.c : std::uint8_t('.'), 0x07};
    EXPECT_EQ(console->cell(c.from.x, c.from.y), expected) << "byte " << int(c.c);
  }
}

TEST_F(OutputTest, EmptyWriteStillPlacesTheCursor) {
  write("ab");
  console->grid().setCursor({40, 20});  // moved by someone else
  write("");
  EXPECT_EQ(cursor(), (ConsoleCoord{2, 0}));
}

TEST_F(OutputTest, TextColourKeepsBackgroundAndTakesOnlyForegroundAndBit7) {
  struct Case {
    std::uint8_t colour;
    std::uint8_t attribute;
  };
  const Case cases[] = {{10, 0x1A},   {15, 0x1F},  {16, 0x10},   {26, 0x1A},
                        {0x70, 0x10}, {128, 0x90}, {0x8C, 0x9C}, {255, 0x9F}};
  for (const Case& c : cases) {
    start({.attributeWord = 0x1F});
    setTextColor(0x80);  // a bright background from before is always dropped
    setTextColor(c.colour);
    EXPECT_EQ(consoleState.textAttribute, c.attribute) << int(c.colour);
  }
}

TEST_F(OutputTest, ColourChangeLeavesDrawnTextAlone) {
  start({.attributeWord = 0x1F});
  setTextColor(14);
  write("old");
  setTextColor(12);
  write("new");
  EXPECT_EQ(console->cell(0, 0), (ConsoleCell{'o', 0x1E}));
  EXPECT_EQ(console->cell(3, 0), (ConsoleCell{'n', 0x1C}));
}

TEST_F(OutputTest, WindowPositionOutsideTheWindowLeavesTheCursor) {
  struct Case {
    std::uint8_t x, y;
    ConsoleCoord cursor;
  };
  const Case cases[] = {{0, 1, {9, 9}},  {81, 1, {9, 9}},    {1, 0, {9, 9}},
                        {1, 26, {9, 9}}, {80, 25, {79, 24}}, {1, 1, {0, 0}}};
  for (const Case& c : cases) {
    gotoWindowPosition(10, 10);
    gotoWindowPosition(c.x, c.y);
    EXPECT_EQ(cursor(), c.cursor) << int(c.x) << "," << int(c.y);
    EXPECT_EQ(consoleState.cursorColumn, c.cursor.x);
    EXPECT_EQ(consoleState.cursorRow, c.cursor.y);
  }
}

// Fills the screen with marks, clears it, and counts the rows left blank in the new colours.
struct ClearCase {
  int columns;
  int rows;
  std::int32_t platformId;
  int blankCells;  // counted row after row from the bottom right
};

class ClearTest : public ConsoleTest, public ::testing::WithParamInterface<ClearCase> {};

TEST_P(ClearTest, BlanksTheWindowAsFarAsItsMethodReaches) {
  const ClearCase c = GetParam();
  start({.columns = c.columns, .rows = c.rows, .attributeWord = 0x1F, .platformId = c.platformId});
  console->grid().fill({'x', 0x1F});
  setTextColor(14);
  gotoWindowPosition(3, 1);
  clearScreen();
  const ConsoleCell blank{' ', 0x1E};
  int blanks = 0;
  for (int r = 0; r < c.rows; ++r) {
    for (int column = 0; column < c.columns; ++column) {
      blanks += console->cell(column, r) == blank ? 1 : 0;
    }
  }
  EXPECT_EQ(blanks, c.blankCells);
  EXPECT_EQ(cursor(), (ConsoleCoord{0, 0}));
  EXPECT_EQ(consoleState.cursorColumn, 0);
  EXPECT_EQ(consoleState.cursorRow, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Methods, ClearTest,
    ::testing::Values(ClearCase{80, 25, 2, 80 * 25}, ClearCase{80, 300, 2, 80 * 300},
                      ClearCase{80, 25, 1, 80 * 25}, ClearCase{80, 3, 1, 0}, ClearCase{80, 4, 1, 0},
                      ClearCase{80, 5, 1, 80 * 3}, ClearCase{80, 6, 1, 80 * 3},
                      ClearCase{80, 7, 1, 80 * 6}, ClearCase{80, 8, 1, 80 * 6},
                      ClearCase{80, 10, 1, 80 * 9}, ClearCase{80, 2, 1, 80 * 2},
                      ClearCase{7, 1, 1, 6}, ClearCase{1, 1, 1, 1}));

TEST_F(OutputTest, NextOutputAfterClearingStartsAtTopLeft) {
  writeLine("before");
  clearScreen();
  write("after");
  EXPECT_EQ(row(0), "after");
  EXPECT_EQ(row(1), "");
}

}  // namespace
}  // namespace qv
