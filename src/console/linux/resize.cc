#include "console/linux/resize.h"

#include <poll.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <utility>

#include "console/linux/signals.h"

namespace qv {

namespace {

constexpr int largestSide = 32767;  // positions are 16-bit
// A window edge being dragged sends size after size: the program acts once none has come for
// this long (or this long in all, for sizes that never stop coming). tmux changes its screen at
// once but tells the pane's new size at most every 250 ms, so a shorter wait would act on a size
// its screen (and its answers) already left.
constexpr int sizeSettleMs = 300;
constexpr int sizeSettleMostMs = 5000;
// How often the size is read and the cursor asked again when the size changes meanwhile.
constexpr int sizeAttempts = 16;

// Until no new size has come for sizeSettleMs: nothing drawn meanwhile lands on a terminal
// whose size is still changing. An urgent signal cuts the wait short.
void waitForSettledSize() {
  const auto start = std::chrono::steady_clock::now();
  const auto limit = start + std::chrono::milliseconds(sizeSettleMostMs);
  auto settledAt = start + std::chrono::milliseconds(sizeSettleMs);
  for (auto now = start; now < std::min(settledAt, limit) && !signalPipe::urgent();
       now = std::chrono::steady_clock::now()) {
    signalPipe::waitForSignal(static_cast<int>(
        std::chrono::ceil<std::chrono::milliseconds>(std::min(settledAt, limit) - now).count()));
    if (signalPipe::takeResize()) {
      settledAt = std::chrono::steady_clock::now() + std::chrono::milliseconds(sizeSettleMs);
    }
  }
  signalPipe::takeResize();  // what came is read with the size now
}

// Where the terminal's cursor stands once everything sent has arrived (0-based). False when
// the terminal cannot be asked or does not answer in time (the wait grows for a terminal whose
// answers came slowly, and an answer that comes later is taken as late, never as keys); keys
// typed meanwhile are kept, and an ending or stop signal cuts the wait short.
bool findCursor(TtyPresenter& presenter, TtyKeyboard& keyboard, int& row, int& column) {
  KeyDecoder& decoder = keyboard.decoder();
  if (!keyboard.canRead()) return false;
  // A late answer may be waiting unread (nothing reads keys during a listing).
  if (pollfd waiting{keyboard.fd(), POLLIN, 0}; poll(&waiting, 1, 0) > 0) keyboard.readWaiting();
  if (!decoder.cursorWorthAsking() || !keyboard.canRead()) return false;
  if (!presenter.sendUnsent() || !presenter.askCursor()) return false;
  const int question = decoder.expectCursorReport();
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(decoder.cursorWaitMs());
  std::optional<KeyDecoder::CursorReport> report;
  while (!(report = decoder.takeCursorReport()) || report->question != question) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    // Keys typed ahead may fill the queue before the answer, which then cannot be read: that
    // is no sign of a terminal that does not answer.
    if (left.count() <= 0 || signalPipe::urgent() || !keyboard.canRead()) {
      if (left.count() <= 0 && keyboard.canRead()) decoder.stopAwaitingCursorReport();
      row = column = -1;
      return false;
    }
    pollfd watched[2] = {{keyboard.fd(), POLLIN, 0}, {signalPipe::wakeDescriptor(), POLLIN, 0}};
    if (poll(watched, 2, static_cast<int>(left.count())) <= 0) continue;
    if (watched[1].revents != 0) signalPipe::drain();
    if (watched[0].revents != 0) keyboard.readWaiting();
  }
  row = report->row - 1;
  column = report->column - 1;
  return true;
}

}  // namespace

bool readTtySize(int fd, TtySize& size) {
  winsize window{};
  if (ioctl(fd, TIOCGWINSZ, &window) != 0 || window.ws_col == 0 || window.ws_row == 0) {
    return false;
  }
  size = {std::min<int>(window.ws_col, largestSide), std::min<int>(window.ws_row, largestSide)};
  return true;
}

bool readSettledSize(TtyPresenter& presenter, TtyKeyboard& keyboard, bool askCursor, TtySize& size,
                     int& row, int& column) {
  row = column = -1;
  bool known = false;
  bool awaitedBeyond = false;
  for (int attempt = 0; attempt < sizeAttempts; ++attempt) {
    waitForSettledSize();
    if (signalPipe::urgent() || !readTtySize(presenter.fd(), size)) break;
    known = true;
    row = column = -1;
    if (!askCursor || !findCursor(presenter, keyboard, row, column)) break;
    // A cursor beyond the size read belongs to a size not told yet: the next one is awaited,
    // once.
    const bool beyond = row >= size.rows || column >= size.columns;
    if (!signalPipe::takeResize() && !(beyond && !std::exchange(awaitedBeyond, true))) {
      if (beyond) row = column = -1;
      break;
    }
    row = column = -1;  // the answer may come from a size never read
  }
  return known;
}

}  // namespace qv
