#include "console/linux/screen.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

namespace qv {

namespace {

constexpr std::size_t outputReserve = 1 << 16;
// Cancels an escape sequence that a cut write left open, so that it cannot swallow the bytes
// that follow; outside a sequence the terminal ignores it.
constexpr std::string_view cancelSequence = "\x18";
constexpr std::string_view freshLine = "\r\n";

// The NO_COLOR convention: set and not empty, it asks for the terminal's own colours.
bool coloursWanted() {
  const char* noColour = std::getenv("NO_COLOR");
  return noColour == nullptr || *noColour == '\0';
}

}  // namespace

void TerminalScreen::open(int fd, int columns, int rows) {
  fd_ = fd;
  output_.open(fd);
  renderer_.emplace(columns, rows, coloursWanted());
  out_.reserve(outputReserve);
  // Prepared now, in the output buffer's room: a signal handler may neither allocate nor render.
  out_.clear();
  out_ += cancelSequence;
  renderer_->restoreModes(out_);
  out_ += freshLine;
  emergencyLength_ = std::min(out_.size(), sizeof emergencyBytes_);
  std::copy_n(out_.data(), emergencyLength_, emergencyBytes_);
  out_.clear();
}

void TerminalScreen::close() {
  shown_ = 0;
  fd_ = -1;
  output_.close();
  renderer_.reset();
  repaintPending_ = false;
  cut_ = false;
}

bool TerminalScreen::present(ScreenGrid& grid) {
  if (!shown_) return true;
  if (presenting_ || (!grid.changed() && !repaintPending_)) return true;
  presenting_ = true;
  if (cut_) out_ += cancelSequence;
  renderer_->render(grid, out_);
  grid.clearChanges();
  repaintPending_ = false;
  const bool whole = writeOut();
  presenting_ = false;
  return whole;
}

bool TerminalScreen::start() {
  if (fd_ < 0) return true;
  renderer_->scrollAwayDisplay(out_);
  return begin();
}

bool TerminalScreen::begin() {
  if (fd_ < 0) return true;
  shown_ = 1;  // from here on an abrupt end has modes to put back
  if (cut_) out_ += cancelSequence;
  renderer_->begin(out_);
  renderer_->invalidate();
  repaintPending_ = true;
  return writeOut();
}

void TerminalScreen::end(ScreenGrid& grid, bool ours) {
  if (!shown_) return;
  if (ours && !cut_) present(grid);
  if (presenting_) out_.clear();  // half a frame: better none
  const bool whole = !cut_;
  if (cut_) out_ += cancelSequence;
  if (ours && whole) {
    renderer_->end(grid, out_);
    // Ended in the middle of a line (Ctrl-C at a prompt, input that ran out): whatever
    // follows, a report or the shell's prompt, starts on a line of its own.
    if (grid.cursor().x != 0) out_ += freshLine;
  } else {
    renderer_->restoreModes(out_);
    if (ours) out_ += freshLine;  // where a cut frame left the cursor is not known
  }
  std::string_view rest = out_;
  if (output_.write(rest) == TerminalOutput::Outcome::gaveWay) {
    output_.writeWithin(rest, restoreWaitMs);
  }
  settle(rest);
  shown_ = 0;
}

void TerminalScreen::endFromSignalHandler() {
  if (!shown_) return;
  shown_ = 0;
  output_.writeFromSignalHandler(emergencyBytes_, emergencyLength_, restoreWaitMs);
}

void TerminalScreen::resize(int columns, int rows) {
  if (fd_ < 0) return;
  renderer_->resize(columns, rows);
  repaintPending_ = true;
}

// A write that stopped part-way leaves the terminal showing something the renderer does not
// know: it repaints everything next time, behind a cancel of whatever sequence was cut.
bool TerminalScreen::writeOut() {
  std::string_view rest = out_;
  output_.write(rest);
  const bool whole = rest.empty();
  if (!whole) {
    renderer_->invalidate();
    repaintPending_ = true;
  }
  settle(rest);
  return whole;
}

// rest: what the terminal did not take of out_. Nothing taken leaves a cut open as it was.
void TerminalScreen::settle(std::string_view rest) {
  if (rest.empty()) {
    cut_ = false;
  } else if (rest.size() != out_.size()) {
    cut_ = true;
  }
  out_.clear();
}

}  // namespace qv
