// The file driver on Windows handles: a pipe without reader, the standard error handle. (Piped
// input to its end: the Wine tests.)
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

// A pipe without reader: the write falls short, and the waiting bytes are dropped. (The exit
// code it gives, the system's error number: the Wine tests.)
TEST_F(FileDriverTest, AWriteThatFallsShortIs101) {
  HANDLE reader = nullptr, writer = nullptr;
  ASSERT_TRUE(CreatePipe(&reader, &writer, nullptr, 0));
  CloseHandle(reader);
  openFileChannel(standardOutput, modeOutput, fromWindowsHandle(writer));
  writeString(0, standardOutput, "abc");
  writeLineEnd(standardOutput);
  EXPECT_EQ(ioResult, 101);
  EXPECT_EQ(standardOutput.bufferPosition, 0);
  CloseHandle(writer);
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
