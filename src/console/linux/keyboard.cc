#include "console/linux/keyboard.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "console/linux/output.h"

namespace qv {

namespace {

constexpr int readLimit = 256;
constexpr std::uint8_t redrawKey = 12;  // Ctrl-L

bool isRedrawKey(const InputRecord& record) {
  // Ctrl-L, not a typed glyph of the same code (a typed ♀ is text).
  return record.eventType == InputEventType::key && record.keyEvent.asciiChar == redrawKey &&
         record.keyEvent.virtualKeyCode != VirtualKey::none &&
         (record.keyEvent.controlKeyState & controlKey::anyAlt) == 0;
}

// The keys that would move the cursor along the line being typed.
bool movesAlongTheLine(const InputRecord& record) {
  const VirtualKey key = record.keyEvent.virtualKeyCode;
  return record.eventType == InputEventType::key && record.keyEvent.asciiChar == 0 &&
         (key == VirtualKey::left || key == VirtualKey::right || key == VirtualKey::home ||
          key == VirtualKey::end);
}

}  // namespace

void TtyKeyboard::open(int fd, bool teletype) {
  fd_ = fd;
  teletype_ = teletype;
  redraw_ = false;
  source_ = isatty(fd) ? KeyDecoder::Source::terminal : KeyDecoder::Source::text;
  decoder_ = KeyDecoder(source_);
  queue_.clear();
  ended_ = false;
  hungUp_ = false;
  failure_ = 0;
  // Open for writing only: every read would fail, but a terminal or a pipe would never say so,
  // since no input ever becomes ready on them.
  if (isWriteOnly(fd)) {
    failure_ = EBADF;
    ended_ = true;
  }
}

bool TtyKeyboard::canRead() const {
  return !ended_ && KeyDecoder::room(queue_) > 0;
}

void TtyKeyboard::readWaiting() {
  if (!canRead()) return;
  std::uint8_t bytes[readLimit];
  const int room = std::min(KeyDecoder::room(queue_), readLimit);
  const ssize_t n = read(fd_, bytes, static_cast<std::size_t>(room));
  if (n > 0) {
    const int first = queue_.size();
    decoder_.feed({bytes, static_cast<std::size_t>(n)}, queue_);
    sift(first);
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

void TtyKeyboard::flushIfDue() {
  const int first = queue_.size();
  decoder_.flushIfDue(queue_);
  sift(first);
}

void TtyKeyboard::finish() {
  ended_ = true;
  const int first = queue_.size();
  decoder_.finishInput(queue_);
  sift(first);
}

// The keys that came from the first-th on; each is looked at once.
void TtyKeyboard::sift(int first) {
  queue_.dropFrom(first, [this](const InputRecord& record) {
    if (teletype_) return movesAlongTheLine(record);
    const bool redraw = isRedrawKey(record);
    redraw_ = redraw_ || redraw;
    return redraw;
  });
}

bool isWriteOnly(int fd) {
  const int flags = fcntl(fd, F_GETFL);
  return flags >= 0 && (flags & O_ACCMODE) == O_WRONLY;
}

}  // namespace qv
