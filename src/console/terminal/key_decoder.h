// Terminal bytes in, key events out: an incremental decoder that keeps a partial escape
// sequence until more bytes arrive, or until the caller decides that a lone Esc was meant.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "console/console_platform.h"

namespace qv {

// A bounded queue of key events waiting for the console's key reader.
class KeyQueue {
 public:
  static constexpr int capacity = 512;
  bool empty() const { return count_ == 0; }
  bool full() const { return count_ == capacity; }
  int size() const { return count_; }
  int room() const { return capacity - count_; }
  bool push(const InputRecord& record);  // false (event dropped) when full
  bool pop(InputRecord& record);
  void clear() { head_ = count_ = 0; }
  // Drops the events from the first-th oldest on for which drop(record) holds, keeping order.
  template <class Drop>
  void dropFrom(int first, Drop drop) {
    int kept = first;
    for (int i = first; i < count_; ++i) {
      const InputRecord record = events_[(head_ + i) % capacity];
      if (!drop(record)) events_[(head_ + kept++) % capacity] = record;
    }
    count_ = kept;
  }

 private:
  InputRecord events_[capacity] = {};
  int head_ = 0;
  int count_ = 0;
};

class KeyDecoder {
 public:
  enum class Source {
    terminal,  // a keyboard in raw mode: CR is Enter, LF is Ctrl-J
    text,      // text from a pipe or a file: every line end (LF, CR, CR LF) is one Enter
  };
  // Milliseconds on a clock that only goes forward.
  using Clock = std::int64_t (*)();
  static std::int64_t steadyMilliseconds();
  // How long a lone Esc waits for the rest of a sequence, from the last byte that came: long
  // enough for the bytes of one key to arrive apart over a slow link or ssh, short enough not
  // to be felt.
  static constexpr int escTimeoutMs = 100;
  // How long an answer to a cursor position query may still come after the last question: one
  // later than the caller waited (a loaded machine, a long round trip) is still told from keys.
  static constexpr int cursorReportTimeoutMs = 10000;
  // How long the caller waits for an answer at first, and at most once answers were slow.
  static constexpr int cursorWaitFirstMs = 1000;
  static constexpr int cursorWaitMostMs = 4000;

  explicit KeyDecoder(Source source = Source::terminal, Clock clock = steadyMilliseconds)
      : source_(source), clock_(clock) {}

  // Decodes the bytes; complete keys go to the queue, a partial sequence is held back.
  // Never adds more events than it is given bytes, so a caller that feeds at most room(queue)
  // bytes at a time loses no key.
  void feed(std::span<const std::uint8_t> bytes, KeyQueue& queue);
  // How many bytes may be fed now: the queue's room, less what a flush of held bytes and the
  // line end that endOfInput() adds may still need.
  static int room(const KeyQueue& queue) { return queue.room() - reservedRoom; }
  // No byte will come any more: the held bytes are all there is, and a last line of text
  // without its line end is still a line that was typed.
  void endOfInput(KeyQueue& queue);
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
  // number. Terminals answer in the order asked: while questions are unanswered, ESC [ row ;
  // column R is the answer to the oldest of them, even one the caller stopped waiting for (an
  // answer left uncounted would be taken for the next question's). Only row 1 can also be a
  // key, F3 with modifiers (the way xterm sends Shift+F3, Ctrl+F3): it is an answer for at
  // most cursorReportTimeoutMs after the last question.
  int expectCursorReport();
  bool cursorReportAwaited() const;
  struct CursorReport {
    int row, column;  // 1-based
    int question;     // the number expectCursorReport() gave
  };
  // The newest answer that came since the last call, if any.
  std::optional<CursorReport> takeCursorReport();
  // The caller stopped waiting for the answer to the last question: when it comes, it is late.
  void stopAwaitingCursorReport();
  // How long to wait for the answer to a question: longer once answers came slowly (twice the
  // slowest, late ones included), from cursorWaitFirstMs up to cursorWaitMostMs.
  int cursorWaitMs() const { return cursorWaitMs_; }
  // False only for a terminal that let a question go unanswered and has never answered one:
  // not worth asking again (until a late answer shows otherwise).
  bool cursorWorthAsking() const { return !cursorGivenUp_ || cursorAnswered_ > 0; }

  // Back to the start state: nothing held, no line end pending, no answer awaited. What the
  // calls below set up stays.
  void reset();

  // A terminal's own string for a key (from its description), decoded before the built-in
  // forms, which stay for every other terminal. Only strings that start with Esc are taken.
  void addKey(std::string_view bytes, VirtualKey key);
  // Typed text in a single-byte character set instead of UTF-8: bytes 0x80 to 0xFF are the
  // set's characters, given as the console's bytes (-1: none, the byte is dropped).
  void useSingleByteSet(const std::array<std::int16_t, 128>& consoleBytes);

 private:
  // Every byte fed gives at most one event; a flush of held bytes and the line end of
  // endOfInput() may add this many more.
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
  bool decodeOwnKey(KeyQueue& queue, Step& step) const;
  void takeCursorAnswer(int row, int column);
  void emitSetCharacter(std::uint8_t byte, std::uint32_t alt, KeyQueue& queue);

  struct OwnKey {
    std::string bytes;
    VirtualKey key;
  };

  Source source_;
  Clock clock_;
  std::int64_t lastHeldByteMs_ = 0;      // when the last byte of what is held came
  std::int64_t cursorReportDueMs_ = -1;  // -1: no answer awaited
  std::optional<CursorReport> cursorReport_;
  int cursorAsked_ = 0;  // questions asked, and answers taken, since the start
  int cursorAnswered_ = 0;
  std::int64_t cursorAskedMs_[8] = {};  // when each of the last questions was asked
  int cursorWaitMs_ = cursorWaitFirstMs;
  bool cursorGivenUp_ = false;  // a question went unanswered while the caller waited
  std::uint8_t held_[32] = {};
  std::size_t heldCount_ = 0;
  bool lastWasCarriageReturn_ = false;  // text source: CR LF is one line end
  bool lineOpen_ = false;               // text source: bytes since the last line end
  bool discarding_ = false;             // inside a sequence too long to hold: skip to its end
  // Inside an OSC or DCS string that a terminal sent: skipped, never held, up to its end.
  enum class StringState { none, body, escape } string_ = StringState::none;
  std::vector<OwnKey> ownKeys_;
  bool singleByte_ = false;
  std::array<std::int16_t, 128> setCharacters_{};
};

}  // namespace qv
