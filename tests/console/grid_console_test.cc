// When the grid console sends a frame, on a fake clock: before each wait, at most one per
// frame interval while the program draws, never one per character, always before the grid's
// log would drop rows the device has not shown; and a new size is heard once.
#include "console/grid_console.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>

#include "channels/file_driver.h"
#include "channels/text_channel.h"
#include "console/console_device.h"
#include "console/console_state.h"
#include "runtime/startup.h"

namespace qv {
namespace {

std::int64_t fakeNow = 0;
std::int64_t fakeClock() {
  return fakeNow;
}

// Shows nothing; counts frames and checks that no row left the log unseen.
class RecordingDevice final : public ConsoleDevice {
 public:
  int frames = 0;
  int resizesTaken = 0;
  long mostUnseenRows = 0;
  bool resizePending = false;

  Handle standardHandle(std::int32_t which) override { return standardSlot(which); }
  Handle openConsoleOutput() override { return noHandle; }
  bool prepareSession(Handle output, StartState& start) override {
    start.scrollLogRows = 40;
    return output == 1;
  }
  bool enterSession(ScreenGrid&) override { return true; }
  void endSession(ScreenGrid&) override {}
  Presented present(ScreenGrid& grid) override {
    ++frames;
    grid.clearChanges();
    return Presented::shown;
  }
  DeviceEvent takeEvent(ScreenGrid& grid, bool) override {
    mostUnseenRows = std::max(mostUnseenRows, grid.scrolledOffCount());
    if (!std::exchange(resizePending, false)) return {};
    ++resizesTaken;
    return DeviceEvent::resized(40, 10);
  }
  bool countKeys(std::uint32_t& count) override {
    count = 0;
    return true;
  }
  bool readKey(InputRecord&) override { return false; }
  void waitForKeys(ScreenGrid&) override {}
};

class GridConsoleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fakeNow = 1000;
    setConsolePlatform(&console);
    resetConsoleState();
    resetChannels();
    bindStandardChannels();
    initConsole();
    device.frames = 0;
  }
  void TearDown() override {
    setConsolePlatform(nullptr);
    resetConsoleState();
    resetChannels();
  }
  void statement(const std::string& text) {
    writeString(0, standardOutput, text);
    flushAfterWrite(standardOutput);
  }

  RecordingDevice device;
  GridConsole console{device, fakeClock};
};

TEST_F(GridConsoleTest, FramesFollowTheWaitsAndTheClockNotTheCharacters) {
  const struct {
    int statements;
    int charactersEach;
    int msEach;
    int fewestFrames, mostFrames;
  } cases[] = {
      {1, 1500, 1000, 0, 0},  // one statement, however long it draws: no frame of its own
      {400, 1, 0, 0, 0},      // the clock stands still: nothing is due
      {800, 1, 1, 40, 50},    // 800 ms of drawing: one frame per 16 ms at most
      {64, 3, 100, 7, 8},     // slow statements: the clock is read once in eight
  };
  for (const auto& c : cases) {
    SetUp();
    for (int i = 0; i < c.statements; ++i) {
      fakeNow += c.msEach;
      statement(std::string(static_cast<std::size_t>(c.charactersEach), 'x'));
    }
    EXPECT_GE(device.frames, c.fewestFrames) << c.statements << " statements";
    EXPECT_LE(device.frames, c.mostFrames) << c.statements << " statements";
    for (int wait = 1; wait <= 3; ++wait) {
      const int before = device.frames;
      console.waitForInput(0);
      EXPECT_EQ(device.frames, before + 1) << "wait " << wait;
    }
  }
}

TEST_F(GridConsoleTest, AScrollThatWouldOverflowTheLogIsShownFirst) {
  for (int line = 0; line < 500; ++line) statement("line\r\n");
  EXPECT_GT(device.frames, 0);
  EXPECT_LE(device.mostUnseenRows, 40);
  EXPECT_LE(console.grid().scrolledOffCount(), console.grid().scrollLogCapacity());
}

TEST_F(GridConsoleTest, ANewSizeIsHeardOnceAndShown) {
  device.resizePending = true;
  ScreenBufferInfo info{};
  ASSERT_TRUE(console.takeScreenBufferResize(1, info));
  EXPECT_EQ(info.size, (ConsoleCoord{40, 10}));
  EXPECT_EQ(device.frames, 1);
  EXPECT_FALSE(console.takeScreenBufferResize(1, info));
  EXPECT_EQ(device.resizesTaken, 1);
}

}  // namespace
}  // namespace qv
