// The key side of the page's terminal: what the terminal sends for typed keys (its onData bytes)
// goes through the key decoder; Alt held with the numeric keypad's digits, which a terminal
// cannot send, comes from the page's key events as the Windows console gives it (the digits
// while Alt is down, then Alt going up). The wait for keys hands control back to the browser
// until one comes.
#pragma once

#include "console/terminal/key_decoder.h"

namespace qv {

class WebKeyboard {
 public:
  // Starts and stops listening to the page's terminal.
  void open();
  void close();

  KeyQueue& queue() { return queue_; }
  // Takes what the page gathered since the last look into the queue, as far as it has room;
  // Ctrl-C whatever the room.
  void take();
  // Returns once the page has something (keys, a new size), or after the lone-Esc timeout
  // while a sequence waits for its rest.
  void wait();
  // The terminal's new size, once per change.
  bool takeResize(int& columns, int& rows);
  // Ctrl-C was typed: the terminal's interrupt key, never a key for the line editor.
  bool interrupted() const { return interrupted_; }

 private:
  KeyDecoder decoder_{KeyDecoder::Source::terminal};
  KeyQueue queue_;
  bool interrupted_ = false;
};

}  // namespace qv
