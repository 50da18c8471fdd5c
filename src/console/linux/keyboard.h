// The key side of the terminal: bytes from standard input decoded into a bounded queue of key
// events. A terminal in raw mode gives keys and ends only when it hangs up; a pipe or a file
// gives typed text, in which every line end is Enter, and it ends with its last byte. Either
// may end with an error instead (a directory, a descriptor open for writing only).
#pragma once

#include <cstdint>
#include <utility>

#include "console/terminal/key_decoder.h"

namespace qv {

class TtyKeyboard {
 public:
  // On a teletype the keys that would move the cursor along the line are dropped as they come;
  // elsewhere Ctrl-L is taken as a request to redraw (takeRedraw) instead of a key.
  void open(int fd, bool teletype = false);
  void close() { *this = TtyKeyboard(); }
  int fd() const { return fd_; }
  bool isTerminal() const { return source_ == KeyDecoder::Source::terminal; }

  KeyQueue& queue() { return queue_; }
  // Set up after open(): the terminal's own key strings, the character set, questions asked.
  KeyDecoder& decoder() { return decoder_; }
  // No byte can come any more; what is queued can still be taken.
  bool ended() const { return ended_; }
  // Why it ended: the terminal went away, or a read failed with this error (0: the input
  // simply ran out).
  bool hungUp() const { return hungUp_; }
  int failure() const { return failure_; }
  // A partial escape sequence waits this long for its rest, then flushIfDue() takes it as it
  // stands (see KeyDecoder::msUntilFlush); -1 while none waits.
  int msUntilFlush() const { return decoder_.msUntilFlush(); }
  void flushIfDue();
  // Ctrl-L came since the last call.
  bool takeRedraw() { return std::exchange(redraw_, false); }

  // The queue has room for another read.
  bool canRead() const;
  // One read of what is waiting (the caller knows something is), never more than the queue
  // can take. Does nothing while the queue is that full, or when a signal interrupts the read:
  // the caller's wait looks at signals first.
  void readWaiting();

 private:
  void finish();
  void sift(int first);

  int fd_ = -1;
  KeyDecoder::Source source_ = KeyDecoder::Source::terminal;
  KeyDecoder decoder_;
  KeyQueue queue_;
  bool ended_ = false;
  bool hungUp_ = false;
  int failure_ = 0;
  bool teletype_ = false;
  bool redraw_ = false;
};

// Open for writing only, as nohup leaves standard input: no read can ever succeed on it.
bool isWriteOnly(int fd);

}  // namespace qv
