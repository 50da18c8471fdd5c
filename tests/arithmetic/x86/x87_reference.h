// The x87 itself as the reference for the software extended arithmetic, bit for bit and
// exception for exception (invalid operation, division by zero, overflow: the ones the program
// traps), with the unit in its default mode so that nothing traps: every operation of the
// Extended type, and the digit algorithm's own operations, run by the fuzz target on arbitrary
// operands.
#pragma once

#include <compare>
#include <cstdint>
#include <string>

#include "arithmetic/digit_arithmetic.h"
#include "arithmetic/extended_operands.h"
#include "arithmetic/soft_extended.h"
#include "arithmetic/x86/x87_extended.h"

namespace qv::testsupport {

// The exceptions raised since the last call, of those the software reports.
inline unsigned takeX87Flags() {
  std::uint16_t status = 0;
  asm volatile("fnstsw %0\n\tfnclex" : "=m"(status));
  return status & (soft::invalidFlag | soft::zeroDivideFlag | soft::overflowFlag);
}

// -1, 0, 1 for less, equal, greater; 2 for unordered.
inline int orderCode(std::partial_ordering order) {
  if (order < 0) return -1;
  if (order > 0) return 1;
  return order == 0 ? 0 : 2;
}

// The four operations and the comparison of a and b; the square root, the integer part, the
// conversions to an integer and to double of a.
inline void checkOnX87(ExtendedBits a, ExtendedBits b, Mismatches& mismatches) {
  const X87Extended x = X87Extended::fromBits(a), y = X87Extended::fromBits(b);
  const std::string operands = describe(a) + " " + describe(b);
  const auto expect = [&](const char* what, auto hardware, auto software) {
    const unsigned hardwareFlags = takeX87Flags();
    mismatches.check(operands + " " + what, hardware, hardwareFlags, software.value,
                     software.flags);
  };
  takeX87Flags();
  expect("+", (x + y).bits(), soft::add(a, b));
  expect("-", (x - y).bits(), soft::subtract(a, b));
  expect("*", (x * y).bits(), soft::multiply(a, b));
  expect("/", (x / y).bits(), soft::divide(a, b));
  const int order = orderCode(x <=> y);
  const unsigned orderFlags = takeX87Flags();
  const soft::Comparison comparison = soft::compare(a, b);
  mismatches.check(operands + " <=>", order, orderFlags, orderCode(comparison.order),
                   comparison.flags);
  expect("sqrt", sqrt(x).bits(), soft::squareRoot(a));
  expect("intPart", intPart(x).bits(), soft::integerPart(a));
  expect("truncToInteger", truncToInteger(x), soft::truncateToInt64(a));
  expect("to double", static_cast<double>(x), soft::toDouble(a));
}

inline void checkFromDoubleOnX87(double value, Mismatches& mismatches) {
  takeX87Flags();
  const ExtendedBits loaded = X87Extended(value).bits();
  const unsigned flags = takeX87Flags();
  const soft::Result software = soft::fromDouble(value);
  mismatches.check("from double " + describe({bitCast<std::uint64_t>(value), 0}), loaded, flags,
                   software.value, software.flags);
}

// formatReal's arithmetic on the magnitudes of a and b where it applies (values of at least 0,
// sums that cannot overflow), and the fraction digits of a value below 2 with a's significand
// and an exponent `below` (0 to 69) under that of 1.
inline void checkDigitArithmeticOnX87(ExtendedBits a, ExtendedBits b, int below,
                                      Mismatches& mismatches) {
  a = soft::absolute(a);
  b = soft::absolute(b);
  if (soft::kindOf(a) != soft::Kind::finite) return;
  const X87Extended x = X87Extended::fromBits(a);
  const digits::Magnitude m = digits::magnitudeOf(a);
  const std::string operand = describe(a);
  if (soft::biasedExponent(a) < 0x7FFE - 4) {
    mismatches.check(operand + " * 10", (x * 10).bits(), 0, digits::bitsOf(digits::timesTen(m)), 0);
  }
  if (soft::biasedExponent(a) >= 0x3FFF) {
    mismatches.check(operand + " / 10", (x / 10).bits(), 0, digits::bitsOf(digits::dividedByTen(m)),
                     0);
  }
  if (soft::kindOf(b) == soft::Kind::finite && soft::biasedExponent(a) < 0x7FFD &&
      soft::biasedExponent(b) < 0x7FFD) {
    mismatches.check(operand + " + " + describe(b), (x + X87Extended::fromBits(b)).bits(), 0,
                     digits::bitsOf(digits::plus(m, digits::magnitudeOf(b))), 0);
  }
  const ExtendedBits fraction = {a.significand | soft::integerBit,
                                 static_cast<std::uint16_t>(0x3FFF - below)};
  std::string hardwareDigits, softwareDigits;
  X87Extended value = X87Extended::fromBits(fraction);
  for (int digit = 0; digit < 17; ++digit) {
    value = (value - intPart(value)) * 10;
    hardwareDigits += static_cast<char>('0' + truncToInteger(value));
  }
  digits::fractionDigits(digits::magnitudeOf(fraction), 17,
                         [&](int digit) { softwareDigits += static_cast<char>('0' + digit); });
  takeX87Flags();
  mismatches.check(describe(fraction) + " digits", hardwareDigits, 0, softwareDigits, 0);
}

}  // namespace qv::testsupport
