// The file driver: the hooks that move a channel's buffer through the operating system's file
// interface. The handle operations under them are the platform's (linux/, win/).
#include "channels/file_driver.h"

#include <cstring>

#include "channels/io_result.h"

namespace qv {

std::int32_t lastOsError = 0;

std::int32_t fileOpenHook(TextChannel& channel) {
  FileAccess access = FileAccess::write;
  bool create = false;
  bool append = false;
  switch (channel.mode) {
    case modeInput:
      access = FileAccess::read;
      break;
    case modeOutput:
      create = true;
      break;
    case modeAppend:
      append = true;
      break;
    default:
      ioResult = 102;
      return 0;
  }
  openFileHandle(channel, access, create, append);
  channel.closeHook = fileCloseHook;
  channel.flushHook = nullptr;
  if (channel.mode == modeInput) {
    channel.transferHook = fileReadHook;
    return 0;
  }
  channel.transferHook = fileWriteHook;
  // Interactive output shows each line as it ends; files and pipes get whole buffers.
  if (ioResult == 0 && isCharacterDevice(channel.handle)) channel.flushHook = fileWriteHook;
  return 0;
}

std::int32_t fileWriteHook(TextChannel& channel) {
  std::int32_t written = writeHandle(channel.handle, channel.buffer, channel.bufferPosition);
  if (written != channel.bufferPosition) ioResult = 101;
  channel.bufferPosition = 0;
  return 0;
}

std::int32_t fileReadHook(TextChannel& channel) {
  channel.bufferEnd = readHandle(channel.handle, channel.buffer, channel.bufferSize);
  channel.bufferPosition = 0;
  return 0;
}

std::int32_t fileCloseHook(TextChannel& channel) {
  closeFileHandle(channel.handle);
  channel.handle = noHandle;
  return 0;
}
void openFileHandle(TextChannel& channel, FileAccess access, bool create, bool append) {
  channel.handle = noHandle;
  channel.mode = access == FileAccess::read    ? modeInput
                 : access == FileAccess::write ? modeOutput
                                               : modeInOut;
  if (channel.name[0] == '\0') {
    channel.handle = channel.mode == modeInput ? standardInputHandle : standardOutputHandle;
    return;
  }
  // The record may have been filled by hand: never read past its name field.
  char path[sizeof channel.name];
  std::size_t length = strnlen(channel.name, sizeof path - 1);
  std::memcpy(path, channel.name, length);
  path[length] = '\0';
  const Handle handle = openNamedFile(path, access, create);
  if (handle == noHandle) return;
  channel.handle = handle;
  if (append) seekToEnd(handle);
}

void mapOsError() {
  std::int32_t error = lastOsError;
  if (error >= 19 && error <= 31) {
    ioResult = static_cast<std::uint16_t>(error + 131);
  } else if (error == 32) {
    ioResult = 5;
  } else {
    ioResult = static_cast<std::uint16_t>(error);
  }
  lastOsError = 0;
}

}  // namespace qv
