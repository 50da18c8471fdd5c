// The cursor-report protocol: the program asks the terminal where its cursor is (ESC [ 6 n),
// and the answer, ESC [ row ; column R, comes in among the keys.
#pragma once

#include <cstdint>
#include <optional>

namespace qv {

struct CursorReport {
  int row, column;  // 1-based
  int question;     // the number CursorReports::expect() gave
};

class CursorReports {
 public:
  // Milliseconds on a clock that only goes forward.
  using Clock = std::int64_t (*)();
  // How long an answer to a cursor position query may still come after the last question: one
  // later than the caller waited (a loaded machine, a long round trip) is still told from keys.
  static constexpr int cursorReportTimeoutMs = 10000;
  // How long the caller waits for an answer at first, and at most once answers were slow.
  static constexpr int cursorWaitFirstMs = 1000;
  static constexpr int cursorWaitMostMs = 4000;

  explicit CursorReports(Clock clock) : clock_(clock) {}

  // A question was asked; returns its number. Terminals answer in the order asked: while
  // questions are unanswered, a report is the answer to the oldest of them, even one the caller
  // stopped waiting for (an answer left uncounted would be taken for the next question's).
  int expect();
  // Within cursorReportTimeoutMs of the last question.
  bool awaited() const;
  // Whether a report on this row answers a question: any while one is unanswered, except that
  // row 1 can also be a key (F3 with modifiers) and is an answer only while awaited.
  bool claims(int row) const { return awaited() || (cursorAnswered_ < cursorAsked_ && row > 1); }
  // A report came while one was awaited.
  void answer(int row, int column);
  // The newest answer that came since the last call, if any.
  std::optional<CursorReport> take();
  // The caller stopped waiting for the answer to the last question: when it comes, it is late.
  void stopAwaiting() { cursorGivenUp_ = true; }
  // How long to wait for the answer to a question: longer once answers came slowly (twice the
  // slowest, late ones included), from cursorWaitFirstMs up to cursorWaitMostMs.
  int waitMs() const { return cursorWaitMs_; }
  // False only for a terminal that let a question go unanswered and has never answered one:
  // not worth asking again (until a late answer shows otherwise).
  bool worthAsking() const { return !cursorGivenUp_ || cursorAnswered_ > 0; }
  // No answer awaited any more; how slow the answers were stays.
  void reset();

 private:
  Clock clock_;
  std::int64_t cursorReportDueMs_ = -1;  // -1: no answer awaited
  std::optional<CursorReport> cursorReport_;
  int cursorAsked_ = 0;  // questions asked, and answers taken, since the start
  int cursorAnswered_ = 0;
  std::int64_t cursorAskedMs_[8] = {};  // when each of the last questions was asked
  int cursorWaitMs_ = cursorWaitFirstMs;
  bool cursorGivenUp_ = false;  // a question went unanswered while the caller waited
};

}  // namespace qv
