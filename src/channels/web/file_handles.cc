// The file driver's handles in WebAssembly. Under node, with the host's file system linked in,
// they are the host's file descriptors, as on Linux. In a browser tab standard output and error
// are the page's terminal, and there is no standard input besides its keys (the console's).
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "channels/file_driver.h"
#include "web/page.h"

namespace qv {

namespace {

// The status a shell reports for a program that a pipe's closing ended.
constexpr int closedReaderStatus = 128 + 13;

bool endWhenReaderGone = false;

void recordOsError(int error) {
  lastOsError = error;
  mapOsError();
}

bool onPage(Handle handle) {
  return (handle == STDOUT_FILENO || handle == STDERR_FILENO || handle == STDIN_FILENO) &&
         pageTerminalPresent();
}

int openFlags(FileAccess access, bool create) {
  switch (access) {
    case FileAccess::read:
      return O_RDONLY | O_CLOEXEC;
    case FileAccess::write:
      return O_WRONLY | O_CLOEXEC | (create ? O_CREAT | O_TRUNC : 0);
    case FileAccess::readWrite:
      break;
  }
  return O_RDWR | O_CLOEXEC | (create ? O_CREAT | O_TRUNC : 0);
}

}  // namespace

// Under node the host is Linux; in the page the command form does not run.
const bool textLinesEndWithCarriageReturn = false;

Handle standardHandle(std::int32_t which) {
  switch (which) {
    case standardInputId:
      return STDIN_FILENO;
    case standardOutputId:
      return STDOUT_FILENO;
    case standardErrorId:
      return STDERR_FILENO;
    default:
      return noHandle;
  }
}

void prepareStandardHandles() {}

// Node ignores SIGPIPE: a reader that went away shows up as EPIPE from the write, and ends the
// run at once and quietly, as the signal ends any program in a pipeline.
void endOnClosedReader() {
  endWhenReaderGone = true;
}

Handle openNamedFile(const char* path, FileAccess access, bool create) {
  const int handle = open(path, openFlags(access, create), 0666);
  if (handle < 0) recordOsError(errno);
  return handle < 0 ? noHandle : handle;
}

void closeFileHandle(Handle handle) {
  if (handle < 0 || isCharacterDevice(handle)) return;
  close(handle);
}

std::int32_t writeHandle(Handle handle, const std::uint8_t* bytes, std::int32_t count) {
  if (onPage(handle)) {
    pageTerminalWrite(bytes, static_cast<std::size_t>(count));
    return count;
  }
  std::int32_t written = 0;
  while (written < count) {
    const ssize_t step = write(handle, bytes + written, static_cast<std::size_t>(count - written));
    if (step > 0) {
      written += static_cast<std::int32_t>(step);
      continue;
    }
    if (step < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (step < 0 && errno == EPIPE && endWhenReaderGone) _exit(closedReaderStatus);
    if (step < 0) recordOsError(errno);
    break;
  }
  return written;
}

std::int32_t readHandle(Handle handle, std::uint8_t* bytes, std::int32_t count) {
  // The page's keys reach the program through the console only.
  if (count <= 0 || onPage(handle)) return 0;
  for (;;) {
    const ssize_t got = read(handle, bytes, static_cast<std::size_t>(count));
    if (got >= 0) return static_cast<std::int32_t>(got);
    if (errno == EINTR || errno == EAGAIN) continue;
    recordOsError(errno);
    return 0;
  }
}

void seekToEnd(Handle handle) {
  if (lseek(handle, 0, SEEK_END) < 0) recordOsError(errno);
}

bool isCharacterDevice(Handle handle) {
  if (onPage(handle)) return true;
  struct stat status;
  return fstat(handle, &status) == 0 && S_ISCHR(status.st_mode);
}

bool isTerminal(Handle handle) {
  return onPage(handle) || isatty(handle) == 1;
}

bool terminalAddsCarriageReturn(Handle) {
  return false;
}

}  // namespace qv
