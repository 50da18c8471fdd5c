// The rows of --csv, from the methods' own output: each value line with the index of its
// iterate, nothing else.
#include "methods/csv_rows.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "methods/channel_capture.h"
#include "methods/methods.h"
#include "textio/io_result.h"

namespace qv {
namespace {

using ::testing::ElementsAreArray;

std::vector<std::string> rows;
std::string pending;

std::int32_t recordRows(TextChannel& channel) {
  pending.append(reinterpret_cast<const char*>(channel.buffer), channel.bufferPosition);
  channel.bufferPosition = 0;
  for (std::size_t end; (end = pending.find("\r\n")) != std::string::npos;) {
    rows.push_back(pending.substr(0, end));
    pending.erase(0, end + 2);
  }
  return 0;
}

// Each method as its run writes it, but with standardOutput's lines turned into rows.
std::vector<std::string> rowsOf(void (*method)(std::int32_t), std::int32_t n) {
  testsupport::ChannelCapture capture;  // puts the method's state back to its start
  rows.clear();
  pending.clear();
  TextChannel rowChannel;
  openStandardChannel(rowChannel, modeOutput, noHandle);
  rowChannel.transferHook = recordRows;
  rowChannel.flushHook = recordRows;
  bindCsvRows(standardOutput, rowChannel);
  method(n);
  EXPECT_EQ(ioResult, 0);
  EXPECT_EQ(pending, "");
  return rows;
}

TEST(CsvRows, EveryValueWithItsIndexAndNothingElse) {
  EXPECT_THAT(
      rowsOf(approximateByContinuedFraction, 3),
      ElementsAreArray({"1,2.000000000000000", "2,1.500000000000000", "3,1.666666666666667"}));
  EXPECT_THAT(rowsOf(approximateByNestedRadicals, 0), ::testing::IsEmpty());
  // The ratios count from 2; the header and the elements line (as long as n wants) are no rows.
  EXPECT_THAT(
      rowsOf(approximateByFibonacciWithoutPause, 4),
      ElementsAreArray({"2,1.000000000000000", "3,2.000000000000000", "4,1.500000000000000"}));
  const std::vector<std::string> wrapped = rowsOf(approximateByFibonacciWithoutPause, 60);
  ASSERT_EQ(wrapped.size(), 59u);
  EXPECT_EQ(wrapped[45], "47,-0.720875479180510");
  EXPECT_EQ(wrapped.back(), "60,-1.724507135118218");
}

}  // namespace
}  // namespace qv
