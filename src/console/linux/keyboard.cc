#include "console/linux/keyboard.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "console/linux/output.h"

namespace qv {

namespace {

// Every byte gives at most one event, apart from what a flush of held bytes and the line end
// added at the end of text may give: that much room is kept free.
constexpr int reservedRoom = 34;
constexpr int readLimit = 256;

bool isLineEnd(std::uint8_t byte) {
  return byte == '\n' || byte == '\r';
}

}  // namespace

void TerminalKeyboard::open(int fd) {
  fd_ = fd;
  source_ = isatty(fd) ? KeyDecoder::Source::terminal : KeyDecoder::Source::text;
  decoder_ = KeyDecoder(source_);
  queue_.clear();
  ended_ = false;
  hungUp_ = false;
  failure_ = 0;
  lineOpen_ = false;
  // Open for writing only: every read would fail, but a terminal or a pipe would never say so,
  // since no input ever becomes ready on them.
  const int flags = fcntl(fd, F_GETFL);
  if (flags >= 0 && (flags & O_ACCMODE) == O_WRONLY) {
    failure_ = EBADF;
    ended_ = true;
  }
}

bool TerminalKeyboard::canRead() const {
  return !ended_ && queue_.room() > reservedRoom;
}

void TerminalKeyboard::readWaiting() {
  if (!canRead()) return;
  const int room = queue_.room() - reservedRoom;
  std::uint8_t bytes[readLimit];
  const ssize_t n = read(fd_, bytes, static_cast<std::size_t>(std::min(room, readLimit)));
  if (n > 0) {
    decoder_.feed({bytes, static_cast<std::size_t>(n)}, queue_);
    lineOpen_ = !isLineEnd(bytes[n - 1]);
    return;
  }
  const int error = n < 0 ? errno : 0;
  if (error == EINTR || error == EAGAIN) return;
  // In raw mode a terminal returns no bytes only once it has hung up.
  if (isTerminal() && (error == 0 || isHangUpError(error))) {
    hungUp_ = true;
  } else {
    failure_ = error;
  }
  finish();
}

void TerminalKeyboard::finish() {
  ended_ = true;
  decoder_.flushPending(queue_);
  // A last line of text without its line end is still a line that was typed.
  if (!isTerminal() && lineOpen_) {
    const std::uint8_t lineEnd = '\n';
    decoder_.feed({&lineEnd, 1}, queue_);
  }
}

}  // namespace qv
