// The file driver on real descriptors: pipes, /dev/full, a file at its size limit, named files.
#include "textio/file_driver.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <string>

#include "textio/io_result.h"
#include "textio/text_input.h"

namespace qv {
namespace {

class FileDriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bindStandardChannels();  // also keeps a vanished reader from killing us with SIGPIPE
    resetChannels();
    ASSERT_EQ(pipe(ends), 0);
  }
  void TearDown() override {
    for (int fd : ends) close(fd);
    resetChannels();
  }
  int ends[2] = {-1, -1};
  const std::uint8_t bytes[2] = {'x', 'y'};
};

TEST_F(FileDriverTest, PipeCarriesLinesBothWays) {
  TextChannel out, in;
  openStandardChannel(out, modeOutput, ends[1]);
  openStandardChannel(in, modeInput, ends[0]);
  writeInteger(4, out, -5);
  writeString(0, out, " 34");
  writeLineEnd(out);
  writeString(0, out, "7");
  closeChannel(out);  // hands over what waits and, not being a standard handle, closes the pipe
  ends[1] = -1;
  EXPECT_FALSE(isCharacterDevice(ends[0]));
  EXPECT_EQ(readInteger(in), -5);
  readLineEnd(in);
  EXPECT_EQ(readInteger(in), 7);
  EXPECT_EQ(readChar(in), endOfInputChar);
  EXPECT_EQ(ioResult, 0);
}

TEST_F(FileDriverTest, FailedWritesBecomeErrorNumbers) {
  close(ends[0]);
  ends[0] = -1;
  EXPECT_EQ(writeHandle(ends[1], bytes, 2), 0);  // a reader that went away, not SIGPIPE
  EXPECT_EQ(ioResult, 5);
  EXPECT_EQ(lastOsError, 0);

  ioResult = 0;
  int full = open("/dev/full", O_WRONLY);
  ASSERT_GE(full, 0);
  EXPECT_TRUE(isCharacterDevice(full));
  EXPECT_EQ(writeHandle(full, bytes, 2), 0);
  EXPECT_EQ(ioResult, 28 + 131);  // no space left on the device

  ioResult = 0;
  TextChannel channel;
  openStandardChannel(channel, modeOutput, full);
  writeString(0, channel, "abc");
  writeLineEnd(channel);
  EXPECT_EQ(ioResult, 101);
  EXPECT_EQ(channel.bufferPosition, 0);
  close(full);
}

TEST_F(FileDriverTest, ShortWriteDropsTheWaitingBytes) {
  char path[] = "/tmp/qv_short_write_XXXXXX";
  int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  unlink(path);
  rlimit saved, small;
  getrlimit(RLIMIT_FSIZE, &saved);
  small = saved;
  small.rlim_cur = 10;
  auto previous = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  TextChannel channel;
  openStandardChannel(channel, modeOutput, fd);
  writeString(0, channel, std::string(100, 'z'));
  flushAfterWrite(channel);
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, previous);
  EXPECT_EQ(ioResult, 101);
  EXPECT_EQ(channel.bufferPosition, 0);
  EXPECT_EQ(lseek(fd, 0, SEEK_END), 10);
  close(fd);
}

TEST_F(FileDriverTest, ClosingAStandardChannelKeepsItsHandle) {
  bindStandardChannels();
  closeChannel(standardError);
  EXPECT_EQ(standardError.mode, modeClosed);
  EXPECT_NE(fcntl(2, F_GETFD), -1);
  closeChannel(standardError);
  EXPECT_EQ(ioResult, 103);
}

TEST_F(FileDriverTest, NamedFilesCreateAppendAndRead) {
  char dir[] = "/tmp/qv_named_XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string path = std::string(dir) + "/out.txt";
  TextChannel channel;
  initChannel(channel, path);
  openForOutput(channel);
  writeString(0, channel, "one");
  writeLineEnd(channel);
  EXPECT_EQ(channel.flushHook, nullptr);  // a disk file gets whole buffers
  closeChannel(channel);
  openChannel(channel, modeAppend);
  writeString(0, channel, "two");
  closeChannel(channel);
  openForInput(channel);
  String255 text;
  readLineEnd(channel);
  readShortString(channel, text, 255);
  EXPECT_EQ(text.view(), "two");
  EXPECT_EQ(ioResult, 0);
  unlink(path.c_str());
  rmdir(dir);

  openForInput(channel);
  EXPECT_EQ(ioResult, 2);  // no such file
  EXPECT_EQ(channel.mode, modeClosed);
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
