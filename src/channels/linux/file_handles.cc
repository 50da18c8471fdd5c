// The file driver's handles on Linux: file descriptors. Every failed system call leaves its
// errno in lastOsError and goes through mapOsError, so the caller sees an ioResult number and
// never a signal or an exception.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "channels/file_driver.h"

namespace qv {
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

// What SIGPIPE did when the program started, before prepareStandardHandles ignored it.
sighandler_t inheritedPipeAction = SIG_DFL;
bool pipeActionRecorded = false;

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

// A standard descriptor that is closed would be taken by the next descriptor the program opens
// (the signal pipe, the terminal), which would then be read as the keyboard or written as the
// report: each one closed is opened on /dev/null instead, before anything else is opened. It is
// opened for reading only, so that reading it ends at once and writing it still fails (EBADF), as
// on the closed descriptor: output that nobody can receive is an error, not a silent success.
void openClosedStandardDescriptors() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
    const int opened = open("/dev/null", O_RDONLY);  // the lowest free number: this one
    if (opened >= 0 && opened != fd) close(opened);
  }
}

}  // namespace

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

void prepareStandardHandles() {
  openClosedStandardDescriptors();
  // A reader that went away must show up as an error number from the write, not kill us.
  const sighandler_t found = signal(SIGPIPE, SIG_IGN);
  if (!pipeActionRecorded) inheritedPipeAction = found;
  pipeActionRecorded = true;
}

void endOnClosedReader() {
  // Whoever started the program may have chosen to ignore the signal, and then wants to hear of
  // a vanished reader as an error, as every other program tells it.
  if (inheritedPipeAction == SIG_IGN) return;
  signal(SIGPIPE, SIG_DFL);
  // A blocked signal would turn the end back into an error number.
  sigset_t pipeSignal;
  sigemptyset(&pipeSignal);
  sigaddset(&pipeSignal, SIGPIPE);
  sigprocmask(SIG_UNBLOCK, &pipeSignal, nullptr);
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

bool isTerminal(Handle handle) {
  return isatty(handle) == 1;
}

bool terminalAddsCarriageReturn(Handle handle) {
  termios settings{};
  return tcgetattr(handle, &settings) == 0 && (settings.c_oflag & OPOST) != 0 &&
         (settings.c_oflag & ONLCR) != 0;
}

}  // namespace qv
