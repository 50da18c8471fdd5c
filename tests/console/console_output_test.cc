// The console's start-up (what the console reports becomes the console state), then drawing
// through standardOutput: cells, the wrap, the scroll, colours, the cursor, clearing.
#include <algorithm>
#include <string>
#include <vector>

#include "console_fixture.h"

namespace qv {
namespace {

using OutputTest = ConsoleTest;

TEST_F(OutputTest, StartTakesSizeCursorAndColoursFromTheConsole) {
  start({.columns = 80, .rows = 300, .cursor = {7, 120}, .attributeWord = 0x401F});
  EXPECT_EQ(consoleState.textAttribute, 0x1F);
  EXPECT_EQ(consoleState.screenWidth, 80);
  EXPECT_EQ(consoleState.screenHeight, 300);
  EXPECT_EQ(consoleState.windowRight, 80);
  EXPECT_EQ(consoleState.windowBottom, 300);
  EXPECT_TRUE(consoleState.platformIsNt);
  write("hi");
  EXPECT_EQ(row(120), "       hi");  // the first output continues where the cursor stood
  start({.platformId = 1});
  EXPECT_FALSE(consoleState.platformIsNt);
}

// A full row wraps at once, so its line end leaves an empty row; the bottom right cell scrolls
// at once, the new row blank in the current colours.
TEST_F(OutputTest, AFullRowWrapsAtOnceAndTheLastCellScrollsInTheCurrentColours) {
  start({.attributeWord = 0x1F});
  writeLine(std::string(80, '='));
  EXPECT_EQ(cursor(), (ConsoleCoord{0, 2}));
  setTextColor(10);
  gotoWindowPosition(1, 25);
  write(std::string(80, 'z'));
  EXPECT_EQ(console->cell(0, 23), (ConsoleCell{'z', 0x1A}));  // written on row 24
  EXPECT_EQ(console->cell(79, 24), (ConsoleCell{' ', 0x1A}));
  console->grid().setCursor({40, 20});  // moved by someone else: even an empty write puts it back
  write("");
  EXPECT_EQ(cursor(), (ConsoleCoord{0, 24}));
}

TEST_F(OutputTest, ControlCharactersMoveOrDrawOneCell) {
  struct Case {
    std::uint8_t c;
    ConsoleCoord from, to;
    bool drawn;
  };
  const Case cases[] = {
      {7, {5, 3}, {5, 3}, false},  {8, {5, 3}, {4, 3}, false},   {8, {0, 3}, {0, 3}, false},
      {10, {5, 3}, {5, 4}, false}, {13, {5, 3}, {0, 3}, false},  {9, {5, 3}, {6, 3}, true},
      {0, {5, 3}, {6, 3}, true},   {255, {79, 3}, {0, 4}, true},
  };
  for (const Case& c : cases) {
    console->grid().fill({'.', 0x07});
    gotoWindowPosition(std::uint8_t(c.from.x + 1), std::uint8_t(c.from.y + 1));
    write(std::string(1, char(c.c)));
    EXPECT_EQ(cursor(), c.to) << "byte " << int(c.c);
    const ConsoleCell expected{c.drawn ? c.c : std::uint8_t('.'), 0x07};
    EXPECT_EQ(console->cell(c.from.x, c.from.y), expected) << "byte " << int(c.c);
  }
}

TEST_F(OutputTest, TextColourKeepsBackgroundAndTakesOnlyForegroundAndBit7) {
  const std::uint8_t cases[][2] = {{10, 0x1A},   {16, 0x10},  {26, 0x1A},
                                   {0x70, 0x10}, {128, 0x90}, {255, 0x9F}};
  for (const auto& [colour, attribute] : cases) {
    start({.attributeWord = 0x1F});
    setTextColor(0x80);  // a bright background from before is always dropped
    setTextColor(colour);
    EXPECT_EQ(consoleState.textAttribute, attribute) << int(colour);
  }
}

TEST_F(OutputTest, WindowPositionOutsideTheWindowLeavesTheCursor) {
  const std::uint8_t cases[][4] = {{0, 1, 9, 9},  {81, 1, 9, 9},    {1, 0, 9, 9},
                                   {1, 26, 9, 9}, {80, 25, 79, 24}, {1, 1, 0, 0}};
  for (const auto& [x, y, column, row] : cases) {
    gotoWindowPosition(10, 10);
    gotoWindowPosition(x, y);
    EXPECT_EQ(cursor(), (ConsoleCoord{column, row})) << int(x) << "," << int(y);
    EXPECT_EQ(consoleState.cursorColumn, column);
    EXPECT_EQ(consoleState.cursorRow, row);
  }
}

// The rows that left the top of the screen buffer so far, oldest first: what a terminal's
// scrollback receives.
std::vector<std::string> rowsThatLeft(const ScreenGrid& grid) {
  std::vector<std::string> rows;
  for (long i = 0; i < std::min<long>(grid.scrolledOffCount(), grid.scrollLogCapacity()); ++i) {
    std::string text;
    for (ConsoleCell cell : grid.scrolledOffRow(i)) text += char(cell.character);
    rows.push_back(text.substr(0, text.find_last_not_of(' ') + 1));
  }
  return rows;
}

// A terminal window that is resized: the rows that fit stay, the cursor keeps its row (the rows
// above it leave the top), later output wraps and scrolls at the new size, and a clear blanks
// the whole new window after its rows, down to the last that shows anything, left the top.
TEST_F(OutputTest, FollowsAScreenBufferThatChangesSizeAndClearsIntoTheRowsThatLeft) {
  start({.columns = 20, .rows = 5});
  for (const char* line : {"uno", "due", "tre", "quattro"}) writeLine(line);
  console->resize(10, 3);
  write("abcdefghijkl");
  EXPECT_EQ(row(0), "quattro");
  EXPECT_EQ(row(1), "abcdefghij");
  EXPECT_EQ(row(2), "kl");
  EXPECT_EQ(cursor(), (ConsoleCoord{2, 2}));

  console->resize(30, 6);
  writeLine("");
  write(std::string(35, '*'));
  EXPECT_EQ(row(3), std::string(30, '*'));
  EXPECT_EQ(row(4), "*****");
  setTextColor(14);
  clearScreen();
  EXPECT_EQ(cursor(), (ConsoleCoord{0, 0}));
  EXPECT_EQ(console->cell(29, 5), (ConsoleCell{' ', 0x0E}));
  EXPECT_EQ(rowsThatLeft(console->grid()),
            (std::vector<std::string>{"uno", "due", "tre", "quattro", "abcdefghij", "kl",
                                      std::string(30, '*'), "*****"}));
}

TEST_F(OutputTest, AHugeScreenBufferIsCutToItsBoundsAndUsedFromItsTopLeft) {
  start({.columns = 20000, .rows = 20000});
  EXPECT_EQ(consoleState.screenWidth, ScreenGrid::maxColumns);
  EXPECT_EQ(consoleState.screenHeight, ScreenGrid::maxRows);
  write(std::string(ScreenGrid::maxColumns + 1, 'w'));
  EXPECT_EQ(row(1), "w");
  console->resize(40000, 3000);  // and when the window grows beyond them later
  write("");
  EXPECT_EQ(consoleState.windowRight, ScreenGrid::maxColumns);
  EXPECT_EQ(consoleState.windowBottom, ScreenGrid::maxRows);
}

}  // namespace
}  // namespace qv
