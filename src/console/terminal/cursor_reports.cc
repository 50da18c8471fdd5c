#include "console/terminal/cursor_reports.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace qv {

int CursorReports::expect() {
  cursorReportDueMs_ = clock_() + cursorReportTimeoutMs;
  ++cursorAsked_;
  cursorAskedMs_[cursorAsked_ % std::size(cursorAskedMs_)] = clock_();
  return cursorAsked_;
}

bool CursorReports::awaited() const {
  return cursorReportDueMs_ >= 0 && clock_() < cursorReportDueMs_;
}

std::optional<CursorReport> CursorReports::take() {
  return std::exchange(cursorReport_, std::nullopt);
}

void CursorReports::answer(int row, int column) {
  // Questions older than the ring are long answered or long given up: the wait stays.
  const int question =
      std::max(++cursorAnswered_, cursorAsked_ - int(std::size(cursorAskedMs_)) + 1);
  cursorAnswered_ = question;
  cursorReport_ = CursorReport{row, column, question};
  const std::int64_t took = clock_() - cursorAskedMs_[question % std::size(cursorAskedMs_)];
  cursorWaitMs_ = int(std::clamp<std::int64_t>(std::max<std::int64_t>(cursorWaitMs_, 2 * took),
                                               cursorWaitFirstMs, cursorWaitMostMs));
  if (cursorAnswered_ == cursorAsked_) cursorReportDueMs_ = -1;
}

void CursorReports::reset() {
  cursorReportDueMs_ = -1;
  cursorReport_.reset();
  cursorAnswered_ = cursorAsked_;
}

}  // namespace qv
