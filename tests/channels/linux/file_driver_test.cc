// The file driver on real descriptors: a file at its size limit, the standard handles. (A pipe
// without reader and /dev/full: the command's end-to-end tests.)
#include "channels/file_driver.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "channels/io_result.h"
#include "channels/text_channel.h"
#include "runtime/startup.h"

namespace qv {
namespace {

class FileDriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bindStandardChannels();  // also keeps a vanished reader from killing us with SIGPIPE
    resetChannels();
  }
  void TearDown() override { resetChannels(); }
  TextChannel channel;
};

TEST_F(FileDriverTest, ShortWriteDropsTheWaitingBytes) {
  FILE* file = tmpfile();
  ASSERT_NE(file, nullptr);
  rlimit saved;
  getrlimit(RLIMIT_FSIZE, &saved);
  const rlimit small = {10, saved.rlim_max};
  auto previous = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  openFileChannel(channel, modeOutput, fileno(file));
  writeString(0, channel, std::string(100, 'z'));
  flushAfterWrite(channel);
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, previous);
  EXPECT_EQ(ioResult, 101);
  EXPECT_EQ(channel.bufferPosition, 0);
  EXPECT_EQ(lseek(fileno(file), 0, SEEK_END), 10);
  fclose(file);
}

TEST_F(FileDriverTest, ClosingAStandardChannelKeepsItsHandle) {
  bindStandardChannels();
  closeChannel(standardError);
  EXPECT_EQ(standardError.mode, modeClosed);
  EXPECT_NE(fcntl(2, F_GETFD), -1);
  closeChannel(standardError);
  EXPECT_EQ(ioResult, 103);
}

// A standard descriptor closed at start would be taken by the next file the program opens,
// which would then receive what is meant for standard error: each one is opened on /dev/null.
TEST_F(FileDriverTest, StandardDescriptorsClosedAtStartAreTakenByNoLaterFile) {
  EXPECT_EXIT(
      {
        close(STDOUT_FILENO);
        close(STDERR_FILENO);
        prepareStandardHandles();
        std::exit(open("/dev/zero", O_RDONLY) > STDERR_FILENO ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace qv
