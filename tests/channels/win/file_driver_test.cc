// The file driver on Windows handles: a pipe without reader, a file that is not there, the
// standard error handle. (Piped input to its end: the Wine tests.)
#include "channels/file_driver.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "channels/io_result.h"
#include "channels/text_channel.h"
#include "channels/win/handle.h"
#include "runtime/startup.h"

namespace qv {
namespace {

class FileDriverTest : public ::testing::Test {
 protected:
  void SetUp() override { resetChannels(); }
  void TearDown() override { resetChannels(); }
};

TEST_F(FileDriverTest, FailuresBecomeTheSystemsErrorNumbers) {
  HANDLE reader = nullptr, writer = nullptr;
  ASSERT_TRUE(CreatePipe(&reader, &writer, nullptr, 0));
  CloseHandle(reader);
  const std::uint8_t bytes[2] = {'x', 'y'};
  EXPECT_EQ(writeHandle(fromWindowsHandle(writer), bytes, 2), 0);
  EXPECT_EQ(ioResult, ERROR_NO_DATA);  // the pipe is being closed
  EXPECT_EQ(lastOsError, 0);
  ioResult = 0;
  openFileChannel(standardOutput, modeOutput, fromWindowsHandle(writer));
  writeString(0, standardOutput, "abc");
  writeLineEnd(standardOutput);
  EXPECT_EQ(ioResult, 101) << "through a channel, a write that fell short";
  EXPECT_EQ(standardOutput.bufferPosition, 0);
  CloseHandle(writer);

  ioResult = 0;
  EXPECT_EQ(openNamedFile("Z:\\no\\such\\folder\\file", FileAccess::read, false), noHandle);
  EXPECT_EQ(ioResult, ERROR_PATH_NOT_FOUND);
}

TEST_F(FileDriverTest, ClosingAStandardChannelKeepsItsHandle) {
  bindStandardChannels();
  const HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
  closeChannel(standardError);
  EXPECT_EQ(standardError.mode, modeClosed);
  DWORD flags = 0;
  EXPECT_TRUE(GetHandleInformation(handle, &flags));
  closeChannel(standardError);
  EXPECT_EQ(ioResult, 103);
}

}  // namespace
}  // namespace qv
