// The line-feed driver on a real pipe: what a script reading the other end receives.
#include "channels/line_feed_driver.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "channels/io_result.h"
#include "channels/text_channel.h"

namespace qv {
namespace {

std::string received(int end) {
  std::string text;
  char chunk[4096];
  for (ssize_t n; (n = read(end, chunk, sizeof chunk)) > 0;) text.append(chunk, std::size_t(n));
  return text;
}

// Line ends become line feeds, and a file gets whole blocks. Standard output's text waits in
// its block while a report goes to standard error: the waiting text goes first, so a file that
// takes both keeps the order in which they were written.
TEST(LineFeedDriverTest, LineEndsBecomeLineFeedsInWholeBlocksAndInTheOrderWritten) {
  resetChannels();
  resetLineFeedOutput();
  int ends[2];
  ASSERT_EQ(pipe2(ends, O_CLOEXEC | O_NONBLOCK), 0);
  const int sameFile = dup(ends[1]);
  TextChannel data{}, messages{};
  bindLineFeedOutput(data, ends[1], false);
  bindLineFeedOutput(messages, sameFile, true);
  // 255 characters and the line end: the carriage return fills the buffer, and its line feed
  // arrives with the next one.
  const std::string longLine(255, 'x');
  writeString(0, data, longLine);
  writeLineEnd(data);
  writeString(0, data, "a\rb");  // a carriage return that ends no line stays
  writeLineEnd(data);
  writeString(0, data, "tail");
  writeLineEnd(data);
  EXPECT_EQ(received(ends[0]), "") << "nothing before the block is full or flushed";
  writeString(0, messages, "Runtime error 101");
  writeLineEnd(messages);
  EXPECT_EQ(received(ends[0]), longLine + "\na\rb\ntail\nRuntime error 101\n");
  EXPECT_EQ(ioResult, 0);
  for (int end : {ends[0], ends[1], sameFile}) close(end);
  resetLineFeedOutput();
}

}  // namespace
}  // namespace qv
