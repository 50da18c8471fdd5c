// Output side of the channels, against a device that records every transfer and flush.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "textio/io_result.h"
#include "textio/text_channel.h"

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
  struct Case { std::int32_t width; const char* text; std::int64_t number; const char* shown; };
  const Case cases[] = {
      {8, "abc", 0, "     abc"}, {3, "abc", 0, "abc"}, {2, "abc", 0, "abc"}, {-5, "abc", 0, "abc"},
      {4, "", 0, "    "}, {0, "", 0, ""}, {0, nullptr, -2147483648, "-2147483648"},
      {0, nullptr, 0, "0"}, {6, nullptr, -42, "   -42"}, {12, nullptr, 2147483647, "  2147483647"}};
  // clang-format on
  for (const Case& c : cases) {
    SetUp();
    if (c.text != nullptr) writeString(c.width, channel, c.text);
    if (c.text == nullptr) writeInteger(c.width, channel, static_cast<std::int32_t>(c.number));
    EXPECT_EQ(device, "") << "nothing reaches the device before the flush";
    flushAfterWrite(channel);
    EXPECT_EQ(device, std::string(c.shown) + "#") << c.width << " '" << c.shown << "'";
  }
}

TEST_F(ChannelTest, BufferReachesDeviceOnlyWhenAWriteDoesNotFit) {
  // Bytes waiting, bytes written, transfers, bytes waiting after.
  const std::int32_t cases[][4] = {
      {250, 10, 1, 4}, {250, 6, 0, 256}, {256, 1, 1, 1}, {0, 257, 1, 1}, {0, 600, 2, 88}};
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
}

TEST_F(ChannelTest, WritesNeedAnOutputChannel) {
  const std::int32_t cases[][2] = {
      {modeClosed, 103}, {modeInput, 105}, {modeInOut, 103}, {modeAppend, 103}, {0, 103}};
  for (const auto& c : cases) {
    for (int op = 0; op < 4; ++op) {
      SetUp();
      channel.mode = static_cast<ChannelMode>(c[0]);
      if (op == 0) writeString(0, channel, "abc");
      if (op == 1) writeInteger(0, channel, 5);
      if (op == 2) writeReal(1, 15, 0, channel, 1.5L);
      if (op == 3) writeLineEnd(channel);
      EXPECT_EQ(ioResult, c[1]) << "mode " << c[0] << " op " << op;
      EXPECT_EQ(channel.bufferPosition + device.size(), 0u);
    }
  }
}

TEST_F(ChannelTest, FirstErrorOfAStatementStands) {
  ioResult = 105;
  writeInteger(0, channel, 1);
  writeString(3, channel, "x");
  writeReal(1, 15, 0, channel, 2.0L);
  writeLineEnd(channel);
  closeChannel(channel);
  openForOutput(channel);
  EXPECT_EQ(channel.mode, modeOutput);
  flushAfterWrite(channel);  // still reaches the device
  EXPECT_EQ(device, "#");
  EXPECT_EQ(ioResult, 105);
}

TEST_F(ChannelTest, LineEndIsFlushedEvenWhenItsTransferFailed) {
  channel.bufferPosition = 255;
  transferError = 101;
  writeLineEnd(channel);
  EXPECT_EQ(ioResult, 101);
  EXPECT_EQ(device.substr(255), "\r|\n#");
}

TEST_F(ChannelTest, OpeningAndClosing) {
  closeChannel(channel);  // waiting bytes go out, a private handle is released
  EXPECT_EQ(device, "|closed");
  closeChannel(channel);
  EXPECT_EQ(ioResult, 103);

  ioResult = 0;
  channel.mode = static_cast<ChannelMode>(0);
  openChannel(channel, modeOutput);  // a record that was never set up
  EXPECT_EQ(ioResult, 102);

  ioResult = 0;
  channel.mode = modeOutput;
  channel.openHook = [](TextChannel&) { return ioResult = 2, 0; };
  openChannel(channel, modeInput);  // closes first; the failed open leaves it closed
  EXPECT_EQ(device, "|closed|closed");
  EXPECT_EQ(channel.mode, modeClosed);
  EXPECT_EQ(ioResult, 2);

  initChannel(channel, std::string(300, 'n'));
  EXPECT_EQ(std::string(channel.name), std::string(255, 'n'));
  EXPECT_EXIT(openStandardChannel(channel, modeAppend, 1), ::testing::ExitedWithCode(102), "");
}

TEST(FormatIntegerTest, FieldIsCutToTheCapacity) {
  // clang-format off
  struct Case { std::int32_t value, width, capacity; std::string text; };
  const Case cases[] = {{-2147483648, -1, 10, "-214748364"}, {123, 6, 4, "   1"},
                        {0, 1000, 255, std::string(255, ' ')}};
  // clang-format on
  for (const Case& c : cases) {
    String255 text;
    formatInteger(c.value, c.width, text, c.capacity);
    EXPECT_EQ(text.view(), c.text) << c.value << " in " << c.width;
  }
}

TEST(ShortStringTest, ComparesUnsignedBytesThenLengths) {
  // clang-format off
  struct Case { const char *left, *right; int sign; };
  const Case cases[] = {{"esci", "esci", 0}, {"esci", "esci ", -1}, {"ESCI", "esci", -1},
                        {"\xff", "a", 1},    {"", "", 0},           {"a", "", 1}};
  // clang-format on
  for (const Case& c : cases) {
    int result = compareShortStrings(c.left, c.right);
    EXPECT_EQ((result > 0) - (result < 0), c.sign) << c.left << " vs " << c.right;
  }
}

}  // namespace
}  // namespace qv
