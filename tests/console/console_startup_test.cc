// Start-up: what the console reports becomes the console state, and a console that cannot be
// reached ends the program with one line on standard error.
#include "console_fixture.h"

namespace qv {
namespace {

using StartupTest = ConsoleTest;

TEST_F(StartupTest, TakesSizeCursorAndColoursFromTheConsole) {
  start({.columns = 80, .rows = 300, .cursor = {7, 120}, .attributeWord = 0x401F});
  EXPECT_EQ(consoleState.textAttribute, 0x1F);
  EXPECT_EQ(consoleState.screenWidth, 80);
  EXPECT_EQ(consoleState.screenHeight, 300);
  EXPECT_EQ(consoleState.windowLeft, 1);
  EXPECT_EQ(consoleState.windowTop, 1);
  EXPECT_EQ(consoleState.windowRight, 80);
  EXPECT_EQ(consoleState.windowBottom, 300);
  EXPECT_TRUE(consoleState.platformIsNt);
  EXPECT_EQ(standardOutput.handle, MemoryConsole::outputHandle);
  EXPECT_EQ(standardInput.handle, MemoryConsole::inputHandle);
  EXPECT_EQ(standardOutput.mode, modeOutput);
  EXPECT_EQ(standardInput.mode, modeInput);
  write("hi");
  EXPECT_EQ(row(120), "       hi");  // the first output continues where the cursor stood
}

TEST_F(StartupTest, OtherPlatformIdentifiersChooseTheShiftingClear) {
  start({.platformId = 1});
  EXPECT_FALSE(consoleState.platformIsNt);
}

TEST_F(StartupTest, RedirectedOutputStillDrawsOnTheConsole) {
  console = std::make_unique<MemoryConsole>(80, 25);
  console->setStandardOutputRedirected(true);
  prepare();
  initConsole();
  EXPECT_EQ(consoleState.consoleOutputHandle, MemoryConsole::consoleOutHandle);
  EXPECT_EQ(standardOutput.handle, MemoryConsole::consoleOutHandle);
  writeLine("shown");
  EXPECT_EQ(row(0), "shown");
}

struct FailureCase {
  const char* name;
  bool redirected;
  bool infoFails;
  bool consoleMissing;
  const char* message;
};

class StartupFailureTest : public ConsoleTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(StartupFailureTest, WritesOneLineToStandardErrorAndExitsWithOne) {
  const FailureCase c = GetParam();
  console = std::make_unique<MemoryConsole>(80, 25);
  console->setStandardOutputRedirected(c.redirected);
  console->setScreenBufferInfoFails(c.infoFails);
  console->setConsoleOutputMissing(c.consoleMissing);
  prepare();
  const std::string exactly = std::string("^") + c.message + "\r\n$";
  EXPECT_EXIT(initConsole(), ::testing::ExitedWithCode(1), exactly);
}

INSTANTIATE_TEST_SUITE_P(Unreachable, StartupFailureTest,
                         ::testing::Values(FailureCase{"NoConsole", true, false, true,
                                                       "No way to get the console handle"},
                                           FailureCase{"NoInfo", false, true, false,
                                                       "No way to get console screen buffer info"},
                                           FailureCase{"NothingAtAll", false, true, true,
                                                       "No way to get the console handle"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(StartupWithoutPlatform, ReportsTheMissingConsole) {
  setConsolePlatform(nullptr);
  resetConsoleState();
  resetChannels();
  bindStandardChannels();
  EXPECT_EXIT(initConsole(), ::testing::ExitedWithCode(1),
              "^No way to get the console handle\r\n$");
  resetChannels();
}

}  // namespace
}  // namespace qv
