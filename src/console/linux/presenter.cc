#include "console/linux/presenter.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

#include "console/terminal/teletype.h"

namespace qv {

namespace {

constexpr std::size_t outputReserve = 1 << 16;
// Cancels an escape sequence that dropped bytes left open, so that it cannot swallow the bytes
// that follow; outside a sequence the terminal ignores it.
constexpr std::string_view cancelSequence = "\x18";
constexpr std::string_view freshLine = "\r\n";

// The NO_COLOR convention: set and not empty, it asks for the terminal's own colours.
bool coloursWanted() {
  const char* noColour = std::getenv("NO_COLOR");
  return noColour == nullptr || *noColour == '\0';
}

bool cursorRowShowsText(const ScreenGrid& grid) {
  if (!grid.contains(0, grid.cursor().y)) return false;
  for (const ConsoleCell cell : grid.row(grid.cursor().y)) {
    if (cell.character != ' ' && cell.character != 0) return true;
  }
  return false;
}

}  // namespace

void TtyPresenter::open(int fd, int columns, int rows, TerminalCapabilities capabilities,
                        bool teletype) {
  fd_ = fd;
  output_.open(fd);
  if (!coloursWanted()) capabilities.colours = 0;
  teletype_ = teletype;
  if (teletype_) {
    renderer_ = std::make_unique<TeletypeRenderer>(capabilities.glyphs);
  } else {
    cursorQuery_ = capabilities.cursorQuery;
    renderer_ = std::make_unique<Renderer>(columns, rows, std::move(capabilities));
  }
  out_.reserve(outputReserve);
  // Prepared now, in the output buffer's room: a signal handler may neither allocate nor render.
  out_.clear();
  if (!teletype_) out_ += cancelSequence;
  renderer_->restoreModes(out_);
  out_ += freshLine;
  emergencyLength_ = std::min(out_.size(), sizeof emergencyBytes_);
  std::copy_n(out_.data(), emergencyLength_, emergencyBytes_);
  out_.clear();
}

void TtyPresenter::close() {
  shown_ = 0;
  fd_ = -1;
  output_.close();
  renderer_.reset();
  cursorQuery_.clear();
  unsent_.clear();
  repaintPending_ = false;
  cut_ = false;
}

bool TtyPresenter::askCursor() {
  if (!shown_ || cursorQuery_.empty() || !unsent_.empty()) return false;
  std::string_view rest = cursorQuery_;
  return output_.write(rest) == TtyOutput::Outcome::written;
}

bool TtyPresenter::askCursorAfter(std::string_view glyph) {
  if (!shown_ || cursorQuery_.empty() || !unsent_.empty()) return false;
  std::string probe = "\r";
  probe.append(glyph).append(cursorQuery_).append("\r  \r");  // two cells: the widest glyph
  std::string_view rest = probe;
  return output_.write(rest) == TtyOutput::Outcome::written;
}

bool TtyPresenter::present(ScreenGrid& grid) {
  if (!shown_) return true;
  if (presenting_ || (!grid.changed() && !repaintPending_ && unsent_.empty())) return true;
  presenting_ = true;
  startOutput();
  renderer_->render(grid, out_);
  grid.clearChanges();
  repaintPending_ = false;
  const bool whole = writeOut();
  presenting_ = false;
  return whole;
}

bool TtyPresenter::enterAtStart() {
  if (fd_ < 0) return true;
  renderer_->scrollShownRowsAway(out_);
  return enter();
}

bool TtyPresenter::enter() {
  if (fd_ < 0) return true;
  shown_ = 1;  // from here on an abrupt end has modes to put back
  dropUnsent();
  startOutput();
  renderer_->enter(out_);
  renderer_->invalidate();
  repaintPending_ = true;
  return writeOut();
}

int TtyPresenter::resume(const ScreenGrid& grid, int columns, int rows) {
  if (fd_ < 0) return 0;
  shown_ = 1;
  dropUnsent();
  startOutput();
  const int leaving = renderer_->resume(grid, columns, rows, out_);
  repaintPending_ = true;
  writeOut();
  return leaving;
}

void TtyPresenter::leave(ScreenGrid& grid, bool ours) {
  if (!shown_) return;
  if (presenting_) {
    out_.clear();  // half a frame: better none
    unsent_.clear();
    cut_ = true;
  } else if (ours) {
    startOutput();
    renderer_->render(grid, out_);
    grid.clearChanges();
    writeEnding();
  }
  dropUnsent();
  const bool whole = !cut_;
  startOutput();
  if (ours && whole) {
    renderer_->leave(grid, out_);
    // Ended in the middle of a line (Ctrl-C at a prompt, input that ran out), or on a row that
    // shows text (a signal between a row's text and its line end): whatever follows, a report
    // or the shell's prompt, starts on a line of its own.
    if (!teletype_ && (grid.cursor().x != 0 || cursorRowShowsText(grid))) out_ += freshLine;
  } else {
    renderer_->restoreModes(out_);
    if (ours) out_ += freshLine;  // where the cut left the cursor is not known
  }
  writeEnding();
  cut_ = !unsent_.empty();
  unsent_.clear();
  shown_ = 0;
}

void TtyPresenter::leaveFromSignalHandler() {
  if (!shown_) return;
  shown_ = 0;
  output_.writeFromSignalHandler(emergencyBytes_, emergencyLength_, restoreWaitMs);
}

bool TtyPresenter::sendUnsent() {
  if (unsent_.empty()) return true;
  out_.swap(unsent_);
  return writeOut();
}

int TtyPresenter::resize(int columns, int rows, int cursorRow, int cursorColumn) {
  if (fd_ < 0) return 0;
  dropUnsent();
  repaintPending_ = true;
  return renderer_->resize(columns, rows, cursorRow, cursorColumn);
}

// What the terminal does not take now is kept for the next frame, which sends it first: the
// terminal then gets every byte in order, as if the write had never been interrupted.
bool TtyPresenter::writeOut() {
  std::string_view rest = out_;
  output_.write(rest);
  unsent_.assign(rest);
  out_.clear();
  return rest.empty();
}

// On the way out: whatever gives way waits at most restoreWaitMs; the rest stays in unsent_.
bool TtyPresenter::writeEnding() {
  std::string_view rest = out_;
  if (output_.write(rest) == TtyOutput::Outcome::gaveWay) {
    output_.writeWithin(rest, restoreWaitMs);
  }
  unsent_.assign(rest);
  out_.clear();
  return rest.empty();
}

// The next bytes for the terminal start with what it has not had yet, or, after bytes were given
// up, with a cancel of whatever sequence they cut.
void TtyPresenter::startOutput() {
  if (cut_ && !teletype_) unsent_ += cancelSequence;  // nothing is kept once bytes are given up
  cut_ = false;
  if (unsent_.empty()) return;
  unsent_ += out_;
  out_.swap(unsent_);
  unsent_.clear();
}

// Bytes the terminal never got are given up: the terminal shows something the renderer does
// not know, and gets a cancel of whatever sequence they cut before anything else.
void TtyPresenter::dropUnsent() {
  if (unsent_.empty()) return;
  unsent_.clear();
  cut_ = true;
  renderer_->invalidate();
  repaintPending_ = true;
}

}  // namespace qv
