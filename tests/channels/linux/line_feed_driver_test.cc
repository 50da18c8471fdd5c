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

class LineFeedDriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetChannels();
    resetLineFeedOutput();
    ASSERT_EQ(pipe2(ends_, O_CLOEXEC | O_NONBLOCK), 0);
  }
  void TearDown() override {
    close(ends_[0]);
    close(ends_[1]);
    resetLineFeedOutput();
  }

  std::string received() {
    std::string text;
    char chunk[4096];
    for (ssize_t n; (n = read(ends_[0], chunk, sizeof chunk)) > 0;) text.append(chunk, n);
    return text;
  }

  int ends_[2] = {-1, -1};
  TextChannel data{}, messages{};
};

TEST_F(LineFeedDriverTest, LineEndsBecomeLineFeedsAndFilesGetWholeBlocks) {
  bindLineFeedOutput(data, ends_[1], false);
  // 255 characters and the line end: the carriage return fills the buffer, and its line feed
  // arrives with the next one.
  const std::string longLine(255, 'x');
  writeString(0, data, longLine);
  writeLineEnd(data);
  writeString(0, data, "a\rb");  // a carriage return that ends no line stays
  writeLineEnd(data);
  writeString(0, data, "tail\r");
  flushAfterWrite(data);
  EXPECT_EQ(received(), "") << "nothing before the block is full or flushed";

  flushLineFeedOutput(data);
  EXPECT_EQ(received(), longLine + "\na\rb\ntail\r");
  EXPECT_EQ(ioResult, 0);
}

// Standard output's text waits in the block while a report goes to standard error: the waiting
// text goes first, so a file that takes both keeps the order in which they were written.
TEST_F(LineFeedDriverTest, EveryLineChannelsWriteAtOnceAfterWhatOtherHandlesHaveWaiting) {
  const int sameFile = dup(ends_[1]);
  bindLineFeedOutput(data, ends_[1], false);
  bindLineFeedOutput(messages, sameFile, true);
  writeString(0, data, "1.618033988749895");
  writeLineEnd(data);
  writeString(0, messages, "Runtime error 101");
  writeLineEnd(messages);
  EXPECT_EQ(received(), "1.618033988749895\nRuntime error 101\n");
  close(sameFile);
}

}  // namespace
}  // namespace qv
