// The software extended arithmetic against the x87 itself (x87_reference.h): every operation
// of the Extended type on the hard cases and on random operands, the digit algorithm's own
// operations, and decimal constants against the compiler's long double literals.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "textio/extended_operands.h"
#include "textio/soft_extended.h"
#include "textio/x86/x87_extended.h"
#include "textio/x86/x87_reference.h"

namespace qv {
namespace {

using testsupport::describe;
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

// Decimal constants come out as the compiler's long double literals.
TEST(SoftExtendedAgainstX87, DecimalTextAsTheCompilersLiterals) {
#define LITERAL(text) \
  { #text, text##L }
  const std::pair<const char*, long double> literals[] = {
      LITERAL(0.1),
      LITERAL(0.5),
      LITERAL(5),
      LITERAL(10),
      LITERAL(1e-9),
      LITERAL(1e-14),
      LITERAL(1e-15),
      LITERAL(1e-16),
      LITERAL(0.9999999999999999999),
      LITERAL(1e18),
      LITERAL(9223372036854775808.0),
      LITERAL(1.6180339887498948482045868343656381177),
      LITERAL(1e-1000),
      LITERAL(1e-4000),
      LITERAL(1.18973149535723176502e+4932),
      LITERAL(3.36210314311209350626e-4932),
      LITERAL(3.64519953188247460253e-4951),
      LITERAL(1.82259976594123730127e-4951),
      LITERAL(6.02214076e23),
      LITERAL(0.000123456789012345678901234567890123456789),
  };
#undef LITERAL
  for (const auto& [text, value] : literals) {
    EXPECT_EQ(describe(soft::decimalToExtended(text)),
              describe(std::bit_cast<X87Extended>(value).bits()))
        << text;
  }
}

}  // namespace
}  // namespace qv
