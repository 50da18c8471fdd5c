// The key side of the Windows console: key events straight from the console's input queue, or,
// when standard input is a pipe or a file, its text decoded into the same events (every line
// end is Enter, and the text ends with its last byte).
#pragma once

#include <windows.h>

#include "console/terminal/key_decoder.h"

namespace qv {

class WindowsKeyboard {
 public:
  // console: input is the console's input queue (else a pipe or a file of text).
  void open(HANDLE input, bool console);
  void close() { *this = WindowsKeyboard(); }

  // Waiting events, none removed; false when the count cannot be had.
  bool count(std::uint32_t& events);
  bool read(InputRecord& record);
  // Blocks until an event may be waiting or wake is signalled. For text input that is a read
  // of what the pipe or file gives next.
  void wait(HANDLE wake);
  // No event can come any more: text input that has ended and been taken.
  bool ended() const { return ended_ && queue_.empty(); }

 private:
  void readText();

  HANDLE input_ = INVALID_HANDLE_VALUE;
  bool console_ = false;
  KeyDecoder decoder_{KeyDecoder::Source::text};
  KeyQueue queue_;
  bool ended_ = false;
};

}  // namespace qv
