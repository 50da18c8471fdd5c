// The software extended arithmetic against the x87, on arbitrary operands: the input is read as
// two 80-bit values (any bits at all: NaNs, infinities, denormals, refused encodings) and a
// double, and every operation must give the x87's result bit for bit and raise the same
// exceptions (invalid operation, division by zero, overflow). formatReal's own operations are
// checked on the same values where they apply.
#include <bit>
#include <compare>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "textio/digit_arithmetic.h"
#include "textio/soft_extended.h"
#include "textio/x86/x87_extended.h"

namespace qv {
namespace {

unsigned takeX87Flags() {
  std::uint16_t status = 0;
  asm volatile("fnstsw %0\n\tfnclex" : "=m"(status));
  return status & (soft::invalidFlag | soft::zeroDivideFlag | soft::overflowFlag);
}

[[noreturn]] void mismatch(const char* what, ExtendedBits a, ExtendedBits b) {
  std::fprintf(stderr, "%s differs for %04X:%016llX and %04X:%016llX\n", what, a.signExponent,
               static_cast<unsigned long long>(a.significand), b.signExponent,
               static_cast<unsigned long long>(b.significand));
  std::abort();
}

// Bit for bit: NaNs and signed zeros too.
bool same(ExtendedBits a, ExtendedBits b) {
  return a == b;
}
bool same(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}
bool same(std::int64_t a, std::int64_t b) {
  return a == b;
}

template <typename Value>
void expectSame(const char* what, ExtendedBits a, ExtendedBits b, Value hardware, Value software,
                unsigned softwareFlags) {
  const unsigned hardwareFlags = takeX87Flags();
  if (!same(hardware, software) || hardwareFlags != softwareFlags) mismatch(what, a, b);
}

void checkArithmetic(ExtendedBits a, ExtendedBits b) {
  const X87Extended x = X87Extended::fromBits(a), y = X87Extended::fromBits(b);
  takeX87Flags();
  soft::Result r = soft::add(a, b);
  expectSame("+", a, b, (x + y).bits(), r.value, r.flags);
  r = soft::subtract(a, b);
  expectSame("-", a, b, (x - y).bits(), r.value, r.flags);
  r = soft::multiply(a, b);
  expectSame("*", a, b, (x * y).bits(), r.value, r.flags);
  r = soft::divide(a, b);
  expectSame("/", a, b, (x / y).bits(), r.value, r.flags);
  const soft::Comparison c = soft::compare(a, b);
  const auto order = x <=> y;
  const auto code = [](std::partial_ordering o) -> std::int64_t {
    return (o < 0) * 4 + (o > 0) * 2 + (o == 0);
  };
  expectSame("<=>", a, b, code(order), code(c.order), c.flags);
  r = soft::squareRoot(a);
  expectSame("sqrt", a, a, sqrt(x).bits(), r.value, r.flags);
  r = soft::integerPart(a);
  expectSame("intPart", a, a, intPart(x).bits(), r.value, r.flags);
  const soft::IntegerResult i = soft::truncateToInt64(a);
  expectSame("truncToInteger", a, a, truncToInteger(x), i.value, i.flags);
  const soft::DoubleResult d = soft::toDouble(a);
  expectSame("to double", a, a, static_cast<double>(x), d.value, d.flags);
}

void checkFromDouble(double value) {
  takeX87Flags();
  const soft::Result r = soft::fromDouble(value);
  const ExtendedBits source = {std::bit_cast<std::uint64_t>(value), 0};
  expectSame("from double", source, source, X87Extended(value).bits(), r.value, r.flags);
}

// The digit algorithm's operations on the magnitudes they meet (see digit_arithmetic.h).
void checkDigitArithmetic(ExtendedBits a, ExtendedBits b) {
  a = soft::absolute(a);
  b = soft::absolute(b);
  if (soft::kindOf(a) != soft::Kind::finite) return;
  const X87Extended x = X87Extended::fromBits(a);
  const digits::Magnitude m = digits::magnitudeOf(a);
  if (soft::biasedExponent(a) < 0x7FFE - 4) {
    expectSame("* 10", a, a, (x * 10).bits(), digits::bitsOf(digits::timesTen(m)), 0);
  }
  if (soft::biasedExponent(a) >= 0x3FFF) {
    expectSame("/ 10", a, a, (x / 10).bits(), digits::bitsOf(digits::dividedByTen(m)), 0);
  }
  if (soft::kindOf(b) == soft::Kind::finite && soft::biasedExponent(a) < 0x7FFD &&
      soft::biasedExponent(b) < 0x7FFD) {  // sums that cannot overflow
    expectSame("+", a, b, (x + X87Extended::fromBits(b)).bits(),
               digits::bitsOf(digits::plus(m, digits::magnitudeOf(b))), 0);
  }
  // The fraction digits of a value below 2 with a's significand.
  const ExtendedBits fraction = {a.significand | soft::integerBit,
                                 static_cast<std::uint16_t>(0x3FFF - b.significand % 70)};
  std::string hardware, software;
  X87Extended value = X87Extended::fromBits(fraction);
  for (int digit = 0; digit < 17; ++digit) {
    value = (value - intPart(value)) * 10;
    hardware += static_cast<char>('0' + truncToInteger(value));
  }
  digits::fractionDigits(digits::magnitudeOf(fraction), 17,
                         [&software](int digit) { software += static_cast<char>('0' + digit); });
  takeX87Flags();
  if (hardware != software) mismatch("fraction digits", fraction, fraction);
}

ExtendedBits read80(const std::uint8_t* bytes) {
  ExtendedBits x;
  std::memcpy(&x.significand, bytes, 8);
  std::memcpy(&x.signExponent, bytes + 8, 2);
  return x;
}

}  // namespace
}  // namespace qv

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::uint8_t bytes[28] = {};
  std::memcpy(bytes, data, size < sizeof bytes ? size : sizeof bytes);
  const qv::ExtendedBits a = qv::read80(bytes), b = qv::read80(bytes + 10);
  double value = 0;
  std::memcpy(&value, bytes + 20, sizeof value);
  qv::checkArithmetic(a, b);
  qv::checkFromDouble(value);
  qv::checkDigitArithmetic(a, b);
  return 0;
}
