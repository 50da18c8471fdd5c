#include "console/linux/terminal_display.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace qv {

namespace {

constexpr ConsoleCell startBlank{' ', 0x07};  // light grey on black
constexpr std::size_t outputReserve = 1 << 16;
constexpr int writeWaitMs = 1000;

timespec coarseNow() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC_COARSE, &now);  // read from memory, no system call
  return now;
}

// The NO_COLOR convention: set and not empty, it asks for the terminal's own colours.
bool coloursWanted() {
  const char* noColour = std::getenv("NO_COLOR");
  return noColour == nullptr || *noColour == '\0';
}

long nanosecondsBetween(const timespec& earlier, const timespec& later) {
  return (later.tv_sec - earlier.tv_sec) * 1'000'000'000L + (later.tv_nsec - earlier.tv_nsec);
}

}  // namespace

void writeFully(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n > 0) {
      bytes.remove_prefix(std::size_t(n));
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && errno == EAGAIN) {
      pollfd writable{fd, POLLOUT, 0};
      if (poll(&writable, 1, writeWaitMs) <= 0 && errno != EINTR) return;
    } else {
      return;  // the terminal is gone (hang-up): nothing left to show it to
    }
  }
}

void TerminalDisplay::open(int fd, int columns, int rows) {
  fd_ = fd;
  grid_.emplace(columns, rows, startBlank);
  renderer_.emplace(columns, rows, coloursWanted());
  out_.reserve(outputReserve);
  lastPresent_ = coarseNow();
}

void TerminalDisplay::close() {
  fd_ = -1;
  renderer_.reset();
  grid_.reset();
  repaintPending_ = false;
}

void TerminalDisplay::present() {
  if (fd_ < 0) return;
  lastPresent_ = coarseNow();
  if (presenting_ || (!grid_->changed() && !repaintPending_)) return;
  presenting_ = true;
  renderer_->render(*grid_, out_);
  grid_->clearChanges();
  repaintPending_ = false;
  writeOut();
  presenting_ = false;
}

void TerminalDisplay::presentIfDue() {
  if (fd_ < 0 || !grid_->changed()) return;
  if (nanosecondsBetween(lastPresent_, coarseNow()) >= presentIntervalNs) present();
}

void TerminalDisplay::start() {
  if (fd_ < 0) return;
  renderer_->scrollAwayDisplay(out_);
  begin();
}

void TerminalDisplay::begin() {
  if (fd_ < 0) return;
  renderer_->begin(out_);
  renderer_->invalidate();
  repaintPending_ = true;
  writeOut();
}

void TerminalDisplay::end() {
  if (fd_ < 0) return;
  present();
  if (presenting_) out_.clear();  // half a frame: better none
  renderer_->end(*grid_, out_);
  // Ended in the middle of a line (Ctrl-C at a prompt, input that ran out): whatever follows,
  // a report or the shell's prompt, starts on a line of its own.
  if (grid_->cursor().x != 0) out_ += "\r\n";
  writeOut();
}

bool TerminalDisplay::resize(int columns, int rows) {
  if (fd_ < 0) return false;
  renderer_->resize(columns, rows);  // what the terminal shows is repainted whole
  // Rows that the resize moves out of the grid go through its log, which must have room.
  if (grid_->scrollLogRoom() < grid_->rows()) present();
  const int oldColumns = grid_->columns(), oldRows = grid_->rows();
  grid_->resize(columns, rows, startBlank);
  repaintPending_ = true;
  return grid_->columns() != oldColumns || grid_->rows() != oldRows;
}

void TerminalDisplay::writeOut() {
  writeFully(fd_, out_);
  out_.clear();
}

}  // namespace qv
