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

// Blank lines at a number prompt are passed over, and the rest of the number's line is ended
// without waiting for another. Input longer than the buffers stays inside them.
TEST_F(InputTest, NumbersSkipBlankLinesAndOversizedInputStaysInsideTheBuffers) {
  type("\r\n \t \r\n  -42  \r\nx\r\n");  // one line per transfer
  EXPECT_EQ(readInteger(channel), -42);
  readLineEnd(channel);
  EXPECT_EQ(readChar(channel), 'x');
  EXPECT_EQ(transfers, 4);

  std::string longLine(1000, '7');
  type(longLine + "\r\n" + "tail\r\n");
  EXPECT_EQ(readInteger(channel), 0);  // the token is cut at 255 characters: out of range
  EXPECT_EQ(ioResult, 106);
  EXPECT_EQ(channel.bufferPosition, 255);
  const int asked = transfers;  // with the error pending, further reads take nothing
  EXPECT_EQ(readString(255), "");
  EXPECT_EQ(transfers + channel.bufferPosition, asked + 255);

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
}

}  // namespace
}  // namespace qv
