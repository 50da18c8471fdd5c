// The console's start-up (what the console reports becomes the console state; a console that
// cannot be reached ends the program with one line on standard error), then drawing through
// standardOutput: cells, the wrap, the scroll, colours, the cursor, clearing.
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

TEST_F(OutputTest, StartUnreachableConsoleWritesOneLineToStandardErrorAndExitsWithOne) {
#if !GTEST_HAS_DEATH_TEST
  GTEST_SKIP() << "no death tests without fork (WebAssembly); the node test runs the program";
#else
  // A death test on Windows reads what the child wrote in text mode, which makes CR LF an LF;
  // the exact bytes are checked on the real program (tests/wine).
  const char* lineEnd = "\r?\n$";
  const struct {
    bool redirected, infoFails, consoleMissing;
    const char* message;
  } cases[] = {{true, false, true, "No way to get the console handle"},
               {false, true, false, "No way to get console screen buffer info"},
               {false, true, true, "No way to get the console handle"}};
  for (const auto& c : cases) {
    start({}, false);
    console->setStandardOutputRedirected(c.redirected);
    console->setScreenBufferInfoFails(c.infoFails);
    console->setConsoleOutputMissing(c.consoleMissing);
    EXPECT_EXIT(initConsole(), ::testing::ExitedWithCode(1),
                std::string("^") + c.message + lineEnd);
  }
  setConsolePlatform(nullptr);
  EXPECT_EXIT(initConsole(), ::testing::ExitedWithCode(1),
              std::string("^No way to get the console handle") + lineEnd);
#endif
}

TEST_F(OutputTest, WrapsOnTheLastColumnAndAFullLineThenLineEndLeavesOneEmptyRow) {
  write(std::string(80, '='));
  EXPECT_EQ(cursor(), (ConsoleCoord{0, 1}));
  writeLine("");
  writeLine("end");
  EXPECT_EQ(row(0), std::string(80, '='));
  EXPECT_EQ(row(1), "");
  EXPECT_EQ(row(2), "end");
  EXPECT_EQ(cursor(), (ConsoleCoord{0, 3}));
  console->grid().setCursor({40, 20});  // moved by someone else: even an empty write puts it back
  write("");
  EXPECT_EQ(cursor(), (ConsoleCoord{0, 3}));
}

TEST_F(OutputTest, BottomRightCellScrollsAtOnceWithBlankRowInCurrentColours) {
  start({.attributeWord = 0x1F});
  writeLine("top");
  setTextColor(10);
  gotoWindowPosition(1, 25);
  write(std::string(80, 'z'));
  EXPECT_EQ(row(0), "");  // "top" has scrolled away
  EXPECT_EQ(console->cell(0, 23), (ConsoleCell{'z', 0x1A}));
  for (int column = 0; column < 80; ++column) {
    ASSERT_EQ(console->cell(column, 24), (ConsoleCell{' ', 0x1A})) << column;
  }
  EXPECT_EQ(cursor(), (ConsoleCoord{0, 24}));
  writeLine("next");
  EXPECT_EQ(row(23), "next");
  EXPECT_EQ(row(24), "");
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

// Fills the screen with marks, clears it, and counts the cells left blank in the new colours.
TEST_F(OutputTest, ClearingBlanksTheWindowAsFarAsItsMethodReaches) {
  const int cases[][4] = {{80, 25, 2, 80 * 25}, {80, 300, 2, 80 * 300}, {80, 25, 1, 80 * 25},
                          {80, 3, 1, 0},        {80, 4, 1, 0},          {80, 5, 1, 80 * 3},
                          {80, 6, 1, 80 * 3},   {80, 7, 1, 80 * 6},     {80, 8, 1, 80 * 6},
                          {80, 10, 1, 80 * 9},  {80, 2, 1, 80 * 2},     {7, 1, 1, 6}};
  for (const auto& [columns, rows, platformId, blankCells] : cases) {
    SCOPED_TRACE(std::to_string(rows) + " rows, platform " + std::to_string(platformId));
    start({.columns = columns, .rows = rows, .attributeWord = 0x1F, .platformId = platformId});
    console->grid().fill({'x', 0x1F});
    setTextColor(14);
    gotoWindowPosition(3, 1);
    clearScreen();
    int blanks = 0;
    for (int r = 0; r < rows; ++r) {
      for (int x = 0; x < columns; ++x) blanks += console->cell(x, r) == ConsoleCell{' ', 0x1E};
    }
    EXPECT_EQ(blanks, blankCells);
    EXPECT_EQ(consoleState.cursorColumn, 0);
    EXPECT_EQ(consoleState.cursorRow, 0);
    write("a");
    EXPECT_EQ(console->cell(0, 0), (ConsoleCell{'a', 0x1E}));
    EXPECT_EQ(cursor(), (ConsoleCoord{1, 0}));
  }
}

}  // namespace
}  // namespace qv
