// The software extended arithmetic against the x87 itself (x87_reference.h): every operation
// of the Extended type on the hard cases and on random operands, and the digit algorithm's own
// operations. (Decimal text is checked against MPFR over the whole range.)
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

// formatReal's arithmetic on the values it works with: values of at least 0, fractions, the
// digits of a fraction, against the same steps on the x87.
TEST(SoftExtendedAgainstX87, DigitArithmetic) {
  Mismatches mismatches;
  OperandSource source(true);
  for (int i = 0; i < testsupport::randomCases(200000); ++i) {
    const ExtendedBits x = source.next();
    testsupport::checkDigitArithmeticOnX87(x, source.partnerOf(x), i % 70, mismatches);
  }
  EXPECT_TRUE(mismatches.none()) << mismatches.report();
}

}  // namespace
}  // namespace qv
