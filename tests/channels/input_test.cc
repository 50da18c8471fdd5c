// Reading side of the channels, against a scripted device that hands over one typed line (or
// one bufferful of a longer line) per transfer, as the console's line editor does.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "channels/io_result.h"
#include "channels/text_input.h"

namespace qv {
namespace {

std::string typed;  // what is still to come
int transfers = 0, flushes = 0;

// Hands over the next line, or the next bufferful of a longer line.
std::int32_t typeNextLine(TextChannel& c) {
  ++transfers;
  const std::size_t lineEnd = std::min(typed.find('\n'), typed.size() - 1) + 1;
  c.bufferPosition = 0;
  c.bufferEnd = static_cast<std::int32_t>(std::min<std::size_t>(lineEnd, channelBufferSize));
  typed.copy(reinterpret_cast<char*>(c.buffer), c.bufferEnd);
  typed.erase(0, c.bufferEnd);
  return 0;
}

class InputTest : public ::testing::Test {
 protected:
  void type(std::string lines) {
    resetChannels();
    typed = std::move(lines);
    transfers = flushes = 0;
    initChannel(channel, "");
    channel.mode = modeInput;
    channel.transferHook = typeNextLine;
    channel.flushHook = [](TextChannel&) { return ++flushes, 0; };
  }
  std::string readString(std::int32_t capacity) {
    String255 text;
    readShortString(channel, text, capacity);
    return std::string(text.view());
  }
  TextChannel channel;
};

TEST_F(InputTest, DeviceIsAskedOnlyWhenTheBufferIsUsedUp) {
  type("\r\n \t \r\n  -42  \r\nabc\r\n\r\n12 34\r\nx\r\ny\r\n");  // one line per transfer
  EXPECT_EQ(readInteger(channel), -42);  // blank lines at a number prompt are passed over
  EXPECT_EQ(transfers, 3);
  readLineEnd(channel);  // the rest of the number's line, without waiting for another
  EXPECT_EQ(readChar(channel), 'a');
  readLineEnd(channel);
  EXPECT_EQ(readChar(channel), 13);
  readLineEnd(channel);
  EXPECT_EQ(transfers, 5);
  EXPECT_EQ(readInteger(channel), 12);
  readLineEnd(channel);
  EXPECT_EQ(transfers, 6);
  readLineEnd(channel);  // a statement that only ends the line waits for a whole new one
  EXPECT_EQ(transfers, 7);
  EXPECT_EQ(readChar(channel), 'y');
  EXPECT_EQ(ioResult, 0);
}

// The exit answer: blanks and case kept, cut to the capacity, the rest of the line left unread.
TEST_F(InputTest, ShortStringsAreCutToTheCapacity) {
  type("escimore\r\n esci\r\n");
  EXPECT_EQ(readString(5), "escim");
  EXPECT_EQ(readChar(channel), 'o');
  readLineEnd(channel);
  EXPECT_EQ(readString(5), " esci");
  EXPECT_EQ(readChar(channel), 13);
}

TEST(ParseIntegerTest, AcceptedAndRejectedTexts) {
  // clang-format off
  struct Case { std::string text; std::int32_t value, errorPosition; };
  const Case cases[] = {
      {"007", 7, 0}, {"+7", 7, 0}, {"-0", 0, 0}, {"$1F", 31, 0}, {"$1f", 31, 0}, {"%101", 5, 0},
      {"2147483647", 2147483647, 0}, {"-2147483648", -2147483647 - 1, 0}, {"$FFFFFFFF", -1, 0},
      {"$80000000", -2147483647 - 1, 0}, {"-$10", -16, 0}, {"-$FFFFFFFF", 1, 0},
      {"%" + std::string(32, '1'), -1, 0}, {"", 0, 1}, {"-", 0, 2}, {"$", 0, 2}, {"+$", 0, 3},
      {"12abc", 0, 3}, {"3.5", 0, 2}, {"1e3", 0, 2}, {"0x10", 0, 2}, {"+-3", 0, 2}, {"%2", 0, 2},
      {"$G", 0, 2}, {"2147483648", 0, 10}, {"-2147483649", 0, 11}, {"$100000000", 0, 10},
      {"%" + std::string(33, '1'), 0, 34}, {std::string(255, '9'), 0, 10}};
  // clang-format on
  for (const Case& c : cases) {
    ParsedInteger parsed = parseInteger(c.text);
    EXPECT_EQ(parsed.value, c.value) << "'" << c.text << "'";
    EXPECT_EQ(parsed.errorPosition, c.errorPosition) << "'" << c.text << "'";
  }
}

// Each read first checks the channel and any error pending from the same statement: then it
// asks the device for nothing and gives an empty result.
TEST_F(InputTest, ReadsNeedAnInputChannelAndNoPendingError) {
  const std::int32_t cases[][2] = {{modeOutput, 104}, {modeClosed, 103}, {modeInput, 106}};
  for (const auto& c : cases) {
    for (int op = 0; op < 4; ++op) {
      type("5\r\n");
      channel.mode = static_cast<ChannelMode>(c[0]);
      if (c[0] == modeInput) ioResult = 106;
      String255 text;
      text.length = 3;
      const std::int32_t result = op == 0 ? readChar(channel) : op == 1 ? readInteger(channel) : 0;
      if (op == 2) readShortString(channel, text, 5);
      if (op == 3) readLineEnd(channel);
      EXPECT_EQ(ioResult, c[1]) << "mode " << c[0] << " op " << op;
      EXPECT_EQ(result + transfers, 0);
      EXPECT_EQ(text.length, op == 2 ? 0 : 3);
    }
  }
}

TEST_F(InputTest, OversizedInputStaysInsideTheBuffers) {
  std::string longLine(1000, '7');
  type(longLine + "\r\n" + "tail\r\n");
  EXPECT_EQ(readInteger(channel), 0);  // the token is cut at 255 characters: out of range
  EXPECT_EQ(ioResult, 106);
  EXPECT_EQ(channel.bufferPosition, 255);

  type(longLine + "\r\n" + "tail\r\n");
  EXPECT_EQ(readString(255), longLine.substr(0, 255));
  readLineEnd(channel);
  EXPECT_EQ(readString(255), "tail");
  EXPECT_EQ(transfers, 5);

  std::string everyByte;
  for (int b = 0; b < 256; ++b) everyByte += static_cast<char>(b);
  type(everyByte + everyByte);
  for (int b = 0; b < 256; ++b) ASSERT_EQ(readChar(channel), b);
  readInteger(channel);
  ioResult = 0;
  readString(255);
  readLineEnd(channel);

  type("12\r\n");
  channel.transferHook = [](TextChannel& c) { return c.bufferEnd = 100000, 0; };
  EXPECT_EQ(readString(255).size(), 255u);  // a driver's nonsense is trimmed to the buffer
}

}  // namespace
}  // namespace qv
