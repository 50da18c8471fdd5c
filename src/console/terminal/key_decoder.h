// Terminal bytes in, key events out: an incremental decoder that keeps a partial escape
// sequence until more bytes arrive, or until the caller decides that a lone Esc was meant.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "console/console_platform.h"
#include "console/terminal/cursor_reports.h"
#include "console/terminal/key_queue.h"
#include "console/terminal/own_keys.h"
#include "console/terminal/single_byte_set.h"

namespace qv {

class KeyDecoder {
 public:
  enum class Source {
    terminal,  // a keyboard in raw mode: CR is Enter, LF is Ctrl-J
    text,      // text from a pipe or a file: every line end (LF, CR, CR LF) is one Enter
  };
  // Milliseconds on a clock that only goes forward.
  using Clock = CursorReports::Clock;
  static std::int64_t steadyMilliseconds();
  // How long a lone Esc waits for the rest of a sequence, from the last byte that came: long
  // enough for the bytes of one key to arrive apart over a slow link or ssh, short enough not
  // to be felt.
  static constexpr int escTimeoutMs = 100;

  explicit KeyDecoder(Source source = Source::terminal, Clock clock = steadyMilliseconds)
      : source_(source), clock_(clock), cursorReports_(clock) {}

  // Decodes the bytes; complete keys go to the queue, a partial sequence is held back.
  // Never adds more events than it is given bytes, so a caller that feeds at most room(queue)
  // bytes at a time loses no key.
  void feed(std::span<const std::uint8_t> bytes, KeyQueue& queue);
  // How many bytes may be fed now: the queue's room, less what a flush of held bytes and the
  // line end that finishInput() adds may still need.
  static int room(const KeyQueue& queue) { return queue.room() - reservedRoom; }
  // No byte will come any more: the held bytes are all there is, and a last line of text
  // without its line end is still a line that was typed.
  void finishInput(KeyQueue& queue);
  // True while a partial sequence is held (or a terminal's string report is being skipped).
  bool needMore() const;
  // How long the caller may wait for more bytes before flushIfDue() takes the held ones as they
  // stand: 0 when that is due, -1 while nothing is held.
  int msUntilFlush() const;
  void flushIfDue(KeyQueue& queue);
  // The held bytes were all there is: a lone Esc (or Alt plus a key) and whatever followed; a
  // report cut short is dropped. Adds at most one event.
  void flushPending(KeyQueue& queue);

  // The program asked the terminal where its cursor is (ESC [ 6 n); returns the question's
  // number (see CursorReports). ESC [ row ; column R that answers no question is F3 with
  // modifiers when the row is 1 (the way xterm sends Shift+F3, Ctrl+F3), else nothing.
  int expectCursorReport() { return cursorReports_.expect(); }
  bool cursorReportAwaited() const { return cursorReports_.awaited(); }
  using CursorReport = qv::CursorReport;
  std::optional<CursorReport> takeCursorReport() { return cursorReports_.take(); }
  void stopAwaitingCursorReport() { cursorReports_.stopAwaiting(); }
  int cursorWaitMs() const { return cursorReports_.waitMs(); }
  bool cursorWorthAsking() const { return cursorReports_.worthAsking(); }

  // Back to the start state: nothing held, no line end pending, no answer awaited. What the
  // calls below set up stays.
  void reset();

  // A terminal's own string for a key (from its description), decoded before the built-in
  // forms, which stay for every other terminal. Only strings that start with Esc are taken.
  void addKey(std::string_view bytes, VirtualKey key) { ownKeys_.add(bytes, key, sizeof held_); }
  // Typed text in a single-byte character set instead of UTF-8: bytes 0x80 to 0xFF are the
  // set's characters, given as the console's bytes (-1: none, the byte is dropped).
  void useSingleByteSet(const std::array<std::int16_t, 128>& consoleBytes) {
    singleByteSet_.use(consoleBytes);
  }

 private:
  // Every byte fed gives at most one event; a flush of held bytes and the line end of
  // finishInput() may add this many more.
  static constexpr int reservedRoom = 34;
  enum class Step { needMore, done, reprocessLast };
  void feedByte(std::uint8_t byte, KeyQueue& queue);
  Step decodeHeld(KeyQueue& queue);
  Step decodeEscape(KeyQueue& queue);
  Step decodeCsi(KeyQueue& queue);
  Step decodeSs3(KeyQueue& queue);
  bool isRxvtShiftedKey() const;
  Step decodeUtf8(std::size_t start, std::uint32_t alt, KeyQueue& queue);
  void emitByte(std::uint8_t byte, std::uint32_t alt, KeyQueue& queue);
  void discardByte(std::uint8_t byte, KeyQueue& queue);
  void skipStringByte(std::uint8_t byte, KeyQueue& queue);
  void emitSetCharacter(std::uint8_t byte, std::uint32_t alt, KeyQueue& queue);

  Source source_;
  Clock clock_;
  std::int64_t lastHeldByteMs_ = 0;  // when the last byte of what is held came
  CursorReports cursorReports_;
  std::uint8_t held_[32] = {};
  std::size_t heldCount_ = 0;
  bool lastWasCarriageReturn_ = false;  // text source: CR LF is one line end
  bool lineOpen_ = false;               // text source: bytes since the last line end
  bool discarding_ = false;             // inside a sequence too long to hold: skip to its end
  // Inside an OSC or DCS string that a terminal sent: skipped, never held, up to its end.
  enum class StringState { none, body, escape } string_ = StringState::none;
  OwnKeys ownKeys_;
  SingleByteSet singleByteSet_;
};

}  // namespace qv
