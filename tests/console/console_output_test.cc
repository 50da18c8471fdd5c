// Drawing through standardOutput: on a screen buffer whose size changes the rows that fit stay,
// later output wraps and scrolls at the new size, clearing blanks the whole new window; frames
// follow the console's clock.
#include <algorithm>
#include <string>
#include <vector>

#include "console_fixture.h"

namespace qv {
namespace {

using OutputTest = ConsoleTest;

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

// A frame goes out once frameInterval has passed on the console's clock: however quick the
// statements were before, statements of a millisecond each are framed every 16 or 17 of them
// (at the latest from the 64th on), not every 64.
TEST_F(OutputTest, FramesFollowTheClockWhateverTheStatementsBeforeCost) {
  static std::int64_t now;
  now = 0;
  start({.clock = [] { return now; }});
  const int before = console->frames;
  for (int i = 0; i < 500; ++i) writeLine("quick");
  EXPECT_EQ(console->frames, before);
  for (int i = 0; i < 120; ++i) {
    ++now;
    writeLine("slow");
  }
  EXPECT_GE(console->frames - before, 4);
}

}  // namespace
}  // namespace qv
