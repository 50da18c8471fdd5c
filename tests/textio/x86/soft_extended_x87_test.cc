// The software extended arithmetic against the x87 itself, bit for bit and exception for
// exception (invalid operation, division by zero, overflow: the ones the program traps), with
// the unit in its default mode so that nothing traps here: every operation of the Extended type
// on the hard cases and on random operands, the digit algorithm's own operations, and decimal
// constants against the compiler's long double literals.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "textio/digit_arithmetic.h"
#include "textio/extended_operands.h"
#include "textio/soft_extended.h"
#include "textio/x86/x87_extended.h"

namespace qv {
namespace {

using testsupport::describe;
using testsupport::Mismatches;
using testsupport::OperandSource;

// The exceptions raised since the last call, of those the software reports.
unsigned takeX87Flags() {
  std::uint16_t status = 0;
  asm volatile("fnstsw %0\n\tfnclex" : "=m"(status));
  return status & (soft::invalidFlag | soft::zeroDivideFlag | soft::overflowFlag);
}

X87Extended hard(ExtendedBits x) {
  return X87Extended::fromBits(x);
}

struct BinaryOperation {
  const char* name;
  X87Extended (*hardware)(X87Extended, X87Extended);
  soft::Result (*software)(ExtendedBits, ExtendedBits);
};

const BinaryOperation binaryOperations[] = {
    {"+", [](X87Extended a, X87Extended b) { return a + b; }, soft::add},
    {"-", [](X87Extended a, X87Extended b) { return a - b; }, soft::subtract},
    {"*", [](X87Extended a, X87Extended b) { return a * b; }, soft::multiply},
    {"/", [](X87Extended a, X87Extended b) { return a / b; }, soft::divide},
};

// -1, 0, 1 for less, equal, greater; 2 for unordered.
int orderCode(std::partial_ordering order) {
  if (order < 0) return -1;
  if (order > 0) return 1;
  return order == 0 ? 0 : 2;
}

void checkPair(ExtendedBits a, ExtendedBits b, Mismatches& mismatches) {
  takeX87Flags();
  const std::string operands = describe(a) + " " + describe(b);
  for (const BinaryOperation& operation : binaryOperations) {
    const ExtendedBits hardware = operation.hardware(hard(a), hard(b)).bits();
    const unsigned hardwareFlags = takeX87Flags();
    const soft::Result software = operation.software(a, b);
    mismatches.check(operands + " " + operation.name, hardware, hardwareFlags, software.value,
                     software.flags);
  }
  const int hardwareOrder = orderCode(hard(a) <=> hard(b));
  const unsigned hardwareFlags = takeX87Flags();
  const soft::Comparison software = soft::compare(a, b);
  mismatches.check(operands + " <=>", hardwareOrder, hardwareFlags, orderCode(software.order),
                   software.flags);
  const bool hardwareEqual = hard(a) == hard(b);
  takeX87Flags();
  mismatches.check(operands + " ==", int{hardwareEqual}, 0, int{software.order == 0}, 0);
}

void checkSingle(ExtendedBits x, Mismatches& mismatches) {
  takeX87Flags();
  const std::string operand = describe(x);
  const ExtendedBits root = sqrt(hard(x)).bits();
  unsigned flags = takeX87Flags();
  const soft::Result softRoot = soft::squareRoot(x);
  mismatches.check(operand + " sqrt", root, flags, softRoot.value, softRoot.flags);

  const ExtendedBits whole = intPart(hard(x)).bits();
  flags = takeX87Flags();
  const soft::Result softWhole = soft::integerPart(x);
  mismatches.check(operand + " intPart", whole, flags, softWhole.value, softWhole.flags);

  const std::int64_t integer = truncToInteger(hard(x));
  flags = takeX87Flags();
  const soft::IntegerResult softInteger = soft::truncateToInt64(x);
  mismatches.check(operand + " truncToInteger", integer, flags, softInteger.value,
                   softInteger.flags);

  const double stored = static_cast<double>(hard(x));
  flags = takeX87Flags();
  const soft::DoubleResult softStored = soft::toDouble(x);
  mismatches.check(operand + " to double", stored, flags, softStored.value, softStored.flags);
}

void checkDouble(double value, Mismatches& mismatches) {
  takeX87Flags();
  const ExtendedBits loaded = X87Extended(value).bits();
  const unsigned flags = takeX87Flags();
  const soft::Result software = soft::fromDouble(value);
  mismatches.check("from double " + describe({std::bit_cast<std::uint64_t>(value), 0}), loaded,
                   flags, software.value, software.flags);
}

TEST(SoftExtendedAgainstX87, EveryOperationOnHardAndRandomOperands) {
  Mismatches mismatches;
  testsupport::forOperandPairs(false, testsupport::randomCases(300000),
                               [&mismatches](ExtendedBits a, ExtendedBits b) {
                                 checkPair(a, b, mismatches);
                                 checkSingle(a, mismatches);
                               });
  OperandSource source(false);
  for (int i = 0; i < testsupport::randomCases(100000); ++i) {
    checkDouble(source.nextDouble(), mismatches);
  }
  EXPECT_TRUE(mismatches.none()) << mismatches.report();
}

// formatReal's arithmetic on the values it works with: values of at least 0, fractions, the
// digits of a fraction, against the same steps on the x87.
TEST(SoftExtendedAgainstX87, DigitArithmetic) {
  using digits::Magnitude;
  Mismatches mismatches;
  OperandSource source(true);
  const auto finiteMagnitude = [&source] {
    for (;;) {
      const ExtendedBits x = soft::absolute(source.next());
      if (soft::kindOf(x) == soft::Kind::finite) return x;
    }
  };
  for (int i = 0; i < testsupport::randomCases(200000); ++i) {
    const ExtendedBits x = finiteMagnitude(), y = soft::absolute(source.partnerOf(x));
    const Magnitude m = digits::magnitudeOf(x);
    const std::string operand = describe(x);
    if (soft::biasedExponent(x) < 0x7FFE - 4) {
      mismatches.check(operand + " * 10", (hard(x) * 10).bits(), 0,
                       digits::bitsOf(digits::timesTen(m)), 0);
    }
    if (soft::biasedExponent(x) >= 0x3FFF) {
      mismatches.check(operand + " / 10", (hard(x) / 10).bits(), 0,
                       digits::bitsOf(digits::dividedByTen(m)), 0);
    }
    if (soft::kindOf(y) == soft::Kind::finite && soft::biasedExponent(x) < 0x7FFD &&
        soft::biasedExponent(y) < 0x7FFD) {  // sums that cannot overflow
      mismatches.check(operand + " + " + describe(y), (hard(x) + hard(y)).bits(), 0,
                       digits::bitsOf(digits::plus(m, digits::magnitudeOf(y))), 0);
    }
    // The digits of a value below 2, as the digit loop takes them.
    const ExtendedBits fraction = {x.significand | soft::integerBit,
                                   static_cast<std::uint16_t>(0x3FFF - i % 70)};
    std::string hardwareDigits, softwareDigits;
    X87Extended value = hard(fraction);
    for (int digit = 0; digit < 17; ++digit) {
      value = (value - intPart(value)) * 10;
      hardwareDigits += std::to_string(truncToInteger(value)) + " ";
    }
    digits::fractionDigits(digits::magnitudeOf(fraction), 17,
                           [&](int digit) { softwareDigits += std::to_string(digit) + " "; });
    mismatches.check(describe(fraction) + " digits", hardwareDigits, 0, softwareDigits, 0);
  }
  takeX87Flags();
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
