// Output side of the channels, against a device that records every transfer and flush. The
// file driver on the system's own handles is tested in linux/ and win/.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "arithmetic/format_real.h"
#include "channels/file_driver.h"
#include "channels/io_result.h"
#include "channels/text_channel.h"

namespace qv {
namespace {

std::string device;  // what reached the device, with '|' after every transfer and '#' per flush
std::uint16_t transferError = 0;

std::int32_t handOver(TextChannel& c, char mark) {
  device.append(reinterpret_cast<const char*>(c.buffer), c.bufferPosition);
  device += mark;
  c.bufferPosition = 0;
  return 0;
}

class ChannelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetChannels();
    device.clear();
    transferError = 0;
    initChannel(channel, "");
    channel.mode = modeOutput;
    channel.handle = 7;
    channel.transferHook = [](TextChannel& c) {
      return ioResult = transferError, handOver(c, '|');
    };
    channel.flushHook = [](TextChannel& c) { return handOver(c, '#'); };
    channel.closeHook = [](TextChannel&) { return device += "closed", 0; };
  }
  TextChannel channel;
};

TEST_F(ChannelTest, FieldWidthsRightJustifyAndNeverShorten) {
  // clang-format off
  struct Case { std::int32_t width; const char* text; std::int32_t number; const char* shown; };
  const Case cases[] = {
      {8, "abc", 0, "     abc"}, {3, "abc", 0, "abc"}, {-5, "abc", 0, "abc"}, {4, "", 0, "    "},
      {0, nullptr, -2147483647 - 1, "-2147483648"}, {6, nullptr, -42, "   -42"}};
  // clang-format on
  for (const Case& c : cases) {
    SetUp();
    if (c.text != nullptr) writeString(c.width, channel, c.text);
    if (c.text == nullptr) writeInteger(c.width, channel, c.number);
    EXPECT_EQ(device, "") << "no hook runs before the flush";
    flushAfterWrite(channel);
    EXPECT_EQ(device, std::string(c.shown) + "#") << c.width << " '" << c.shown << "'";
  }
}

TEST_F(ChannelTest, BufferReachesDeviceOnlyWhenAWriteDoesNotFitOrAtTheLineEnd) {
  // Bytes waiting, bytes written, transfers, bytes waiting after.
  const std::int32_t cases[][4] = {{250, 10, 1, 4}, {250, 6, 0, 256}, {0, 600, 2, 88}};
  const std::string text(600, 'x');
  for (bool blanks : {false, true}) {
    for (const auto& c : cases) {
      SetUp();
      channel.bufferPosition = c[0];
      if (blanks) writeBlanks(channel, c[1]);
      if (!blanks) appendToBuffer(channel, text.data(), c[1]);
      EXPECT_EQ(std::count(device.begin(), device.end(), '|'), c[2]) << c[0] << " + " << c[1];
      EXPECT_EQ(device.size(), 257u * c[2]) << c[0] << " + " << c[1];
      EXPECT_EQ(channel.bufferPosition, c[3]) << c[0] << " + " << c[1];
    }
  }
  // A line end is carriage return and line feed, then the flush, even when its transfer failed.
  SetUp();
  channel.bufferPosition = 255;
  transferError = 101;
  writeLineEnd(channel);
  EXPECT_EQ(ioResult, 101);
  EXPECT_EQ(device.substr(255), "\r|\n#");
}

TEST_F(ChannelTest, WritesNeedAnOutputChannelAndTheFirstErrorStands) {
  channel.mode = modeInput;
  writeString(0, channel, "abc");
  EXPECT_EQ(ioResult, 105);
  SetUp();
  ioResult = 105;
  writeInteger(0, channel, 1);
  writeString(3, channel, "x");
  writeReal(1, 15, 0, channel, 2.0L);
  writeLineEnd(channel);
  closeChannel(channel);
  EXPECT_EQ(channel.mode, modeOutput);
  flushAfterWrite(channel);  // still reaches the device
  EXPECT_EQ(device, "#");
  EXPECT_EQ(ioResult, 105);
}

TEST(MapOsErrorTest, Numbers) {
  const std::int32_t cases[][2] = {
      {19, 150}, {31, 162}, {32, 5}, {2, 2}, {18, 18}, {33, 33}, {70000, 70000 - 65536}};
  for (const auto& c : cases) {
    lastOsError = c[0];
    mapOsError();
    EXPECT_EQ(ioResult, c[1]) << c[0];
    EXPECT_EQ(lastOsError, 0);
  }
  resetChannels();
}

}  // namespace
}  // namespace qv
