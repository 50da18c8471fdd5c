// The file driver on POSIX descriptors. Every failed system call leaves its errno in lastOsError
// and goes through mapOsError, so the caller sees an ioResult number and never a signal or an
// exception.
#include "textio/file_driver.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "textio/io_result.h"

namespace qv {

std::int32_t lastOsError = 0;

namespace {

void recordOsError(int error) {
  lastOsError = error;
  mapOsError();
}

// A descriptor somebody made non-blocking must not turn a busy reader or writer into a lost
// line: wait until it is ready, as the blocking call would have.
bool waitUntilReady(Handle handle, short events) {
  pollfd entry{handle, events, 0};
  int ready;
  do {
    ready = poll(&entry, 1, -1);
  } while (ready < 0 && errno == EINTR);
  return ready > 0;
}

int openFlags(FileAccess access, bool create) {
  int flags = O_CLOEXEC | O_NOCTTY;
  switch (access) {
    case FileAccess::read:
      return flags | O_RDONLY;
    case FileAccess::write:
      flags |= O_WRONLY;
      break;
    case FileAccess::readWrite:
      flags |= O_RDWR;
      break;
  }
  return create ? flags | O_CREAT | O_TRUNC : flags;
}

}  // namespace

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
  int handle = open(path, openFlags(access, create), 0666);
  if (handle < 0) {
    recordOsError(errno);
    return;
  }
  channel.handle = handle;
  if (append) seekToEnd(handle);
}

void closeFileHandle(Handle handle) {
  if (handle < 0 || isCharacterDevice(handle)) return;
  close(handle);
}

std::int32_t writeHandle(Handle handle, const std::uint8_t* bytes, std::int32_t count) {
  std::int32_t written = 0;
  while (written < count) {
    ssize_t step = write(handle, bytes + written, static_cast<std::size_t>(count - written));
    if (step > 0) {
      written += static_cast<std::int32_t>(step);
      continue;
    }
    if (step < 0 && errno == EINTR) continue;
    if (step < 0 && errno == EAGAIN && waitUntilReady(handle, POLLOUT)) continue;
    // A device that takes nothing without an error would keep us here for ever.
    if (step < 0) recordOsError(errno);
    break;
  }
  return written;
}

std::int32_t readHandle(Handle handle, std::uint8_t* bytes, std::int32_t count) {
  if (count <= 0) return 0;
  for (;;) {
    ssize_t got = read(handle, bytes, static_cast<std::size_t>(count));
    if (got >= 0) return static_cast<std::int32_t>(got);
    if (errno == EINTR) continue;
    if (errno == EAGAIN && waitUntilReady(handle, POLLIN)) continue;
    recordOsError(errno);
    return 0;
  }
}

void seekToEnd(Handle handle) {
  if (lseek(handle, 0, SEEK_END) < 0) recordOsError(errno);
}

bool isCharacterDevice(Handle handle) {
  struct stat status;
  return fstat(handle, &status) == 0 && S_ISCHR(status.st_mode);
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
