// The software extended arithmetic against the x87 itself (x87_reference.h): every operation
// of the Extended type on the hard cases and on random operands. (The digit algorithm's own
// operations: the fuzz target and every digit of the same-output test; decimal text: MPFR.)
#include <gtest/gtest.h>

#include <string>

#include "arithmetic/extended_operands.h"
#include "arithmetic/soft_extended.h"
#include "arithmetic/x86/x87_extended.h"
#include "arithmetic/x86/x87_reference.h"

namespace qv {
namespace {

using testsupport::Mismatches;
using testsupport::OperandSource;

TEST(SoftExtendedAgainstX87, EveryOperationOnHardAndRandomOperands) {
  Mismatches mismatches;
  testsupport::forOperandPairs(
      false, testsupport::randomCases(300000),
      [&mismatches](ExtendedBits a, ExtendedBits b) { testsupport::checkOnX87(a, b, mismatches); });
  OperandSource source(false);
  for (int i = 0; i < testsupport::randomCases(100000); ++i) {
    testsupport::checkFromDoubleOnX87(source.nextDouble(), mismatches);
  }
  EXPECT_TRUE(mismatches.none()) << mismatches.report();
}

}  // namespace
}  // namespace qv
