#include "console/linux/terminal_keyboard.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

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
  lineOpen_ = false;
}

void TerminalKeyboard::readWaiting() {
  if (ended_) return;
  const int room = queue_.room() - reservedRoom;
  if (room <= 0) return;
  std::uint8_t bytes[readLimit];
  ssize_t n;
  do {
    n = read(fd_, bytes, std::size_t(std::min(room, readLimit)));
  } while (n < 0 && errno == EINTR);
  if (n < 0 && errno == EAGAIN) return;
  if (n <= 0) {
    finish();
    return;
  }
  decoder_.feed({bytes, std::size_t(n)}, queue_);
  lineOpen_ = !isLineEnd(bytes[n - 1]);
}

void TerminalKeyboard::readIfReady() {
  if (ended_) return;
  pollfd input{fd_, POLLIN, 0};
  if (poll(&input, 1, 0) > 0) readWaiting();
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
