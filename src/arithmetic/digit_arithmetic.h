// The extended arithmetic of the digit algorithm, on the non-negative values it works with, in
// integers: the same results bit for bit as the x87 gives, whichever Extended the build has, at a
// fraction of the cost. A multiply by ten on a 64-bit significand is a multiply and a rounding;
// a division by ten is a multiply by the inverse of five; and once a fraction's bits end within
// 60 places below the point, ten times it fits 64 bits exactly, so that each further digit is a
// multiply and a shift in fixed point.
#pragma once

#include <bit>
#include <cstdint>
#include <utility>

#include "arithmetic/extended_format.h"
#include "arithmetic/soft_arithmetic.h"
#include "arithmetic/soft_conversions.h"

namespace qv::digits {

// A finite value of at least 0 as significand * 2^(exponent - 63), the significand normalised;
// zero has significand 0. Order is the order of (exponent, significand), zero lowest. Left
// unset when declared without an initialiser: the digit algorithm keeps arrays of them.
struct Magnitude {
  int exponent;
  std::uint64_t significand;

  constexpr bool isZero() const { return significand == 0; }
  friend constexpr bool operator<(Magnitude a, Magnitude b) {
    if (a.isZero() || b.isZero()) return a.significand < b.significand;
    return a.exponent != b.exponent ? a.exponent < b.exponent : a.significand < b.significand;
  }
  friend constexpr bool operator>(Magnitude a, Magnitude b) { return b < a; }
  friend constexpr bool operator>=(Magnitude a, Magnitude b) { return !(a < b); }
};

// For finite values only: the digit algorithm handles NaNs and infinities before any arithmetic.
constexpr Magnitude magnitudeOf(ExtendedBits x) {
  if (soft::kindOf(x) != soft::Kind::finite) return {0, 0};
  const soft::Unpacked value = soft::unpack(x);
  return {value.exponent, value.significand};
}
constexpr ExtendedBits bitsOf(Magnitude x) {
  if (x.isZero()) return {};
  return soft::pack({false, x.exponent, x.significand});
}

// Rounds significand.rest to nearest, ties to even, as the format does; a carry out of the top
// makes the next power of two.
inline Magnitude rounded(int exponent, std::uint64_t significand, std::uint64_t rest) {
  const bool up = rest > soft::half64 || (rest == soft::half64 && (significand & 1) != 0);
  significand += up ? 1 : 0;
  if (significand == 0) return {exponent + 1, soft::integerBit};
  return {exponent, significand};
}

// a + b, rounded. The sums here are of values far from overflow.
inline Magnitude plus(Magnitude a, Magnitude b) {
  if (a < b) std::swap(a, b);
  if (b.isZero()) return a;
  if (a.exponent < soft::minExponent) {  // a denormal sum rounds at its own last place
    return magnitudeOf(soft::add(bitsOf(a), bitsOf(b)).value);
  }
  std::uint64_t smaller = b.significand, rest = 0;
  soft::shiftRightSticky(smaller, rest, a.exponent - b.exponent);
  std::uint64_t sum = a.significand + smaller;
  int exponent = a.exponent;
  if (sum < smaller) {  // carried out of the top: one more bit goes into the rest
    rest = (sum << 63) | (rest >> 1) | (rest & 1);
    sum = (sum >> 1) | soft::integerBit;
    ++exponent;
  }
  return rounded(exponent, sum, rest);
}

// a - b through the full arithmetic: it may go below zero, by a rounding error, which the
// truncation below then makes 0. It cannot trap, so its flags are not looked at.
inline ExtendedBits minus(Magnitude a, Magnitude b) {
  return soft::subtract(bitsOf(a), bitsOf(b)).value;
}
inline std::int64_t truncated(ExtendedBits x) {
  return soft::truncateToInt64(x).value;
}

// The integer part of a value below 2^63, as an integer.
inline std::int64_t wholeOf(Magnitude x) {
  if (x.isZero() || x.exponent < 0) return 0;
  return static_cast<std::int64_t>(x.significand >> (63 - x.exponent));
}

inline Magnitude integerPartOf(Magnitude x) {
  if (x.isZero() || x.exponent < 0) return {0, 0};
  if (x.exponent >= 63) return x;
  const std::uint64_t fraction = (std::uint64_t{1} << (63 - x.exponent)) - 1;
  return {x.exponent, x.significand & ~fraction};
}

// x - intPart(x), which is exact.
inline Magnitude fractionOf(Magnitude x) {
  if (x.isZero() || x.exponent < 0) return x;
  if (x.exponent >= 63) return {0, 0};
  const std::uint64_t fraction = x.significand & ((std::uint64_t{1} << (63 - x.exponent)) - 1);
  if (fraction == 0) return {0, 0};
  const int shift = std::countl_zero(fraction);
  return {x.exponent - shift, fraction << shift};
}

// x * 10, rounded. Never near overflow here: the algorithm multiplies only values below ten.
inline Magnitude timesTen(Magnitude x) {
  if (x.isZero()) return x;
  if (x.exponent < soft::minExponent) {  // a denormal product rounds at its own last place
    return magnitudeOf(soft::multiply(bitsOf(x), soft::fromInt64(10)).value);
  }
  // Eight times plus twice, in two 64-bit halves: in WebAssembly a 128-bit product is a call.
  const std::uint64_t s = x.significand, eight = s << 3;
  const std::uint64_t low = eight + (s << 1);
  const std::uint64_t high = (s >> 61) + (s >> 63) + (low < eight ? 1 : 0);  // in [5, 10)
  const int shift = high >= 8 ? 4 : 3;
  return rounded(x.exponent + shift, (high << (64 - shift)) | (low >> shift), low << (64 - shift));
}

// x / 10, rounded, for a normal x (the algorithm divides values above 1). Ten's significand is 5 *
// 2^61, so a quotient of 64 bits is the significand times 8 (or 4) over 5, and what is left over is
// a remainder modulo 5, which can never be exactly half of it.
inline Magnitude dividedByTen(Magnitude x) {
  constexpr std::uint64_t tenSignificand = std::uint64_t{5} << 61;
  const bool smaller = x.significand < tenSignificand;
  const int scale = smaller ? 8 : 4;
  const std::uint64_t fifth = x.significand / 5, leftOver = x.significand % 5 * scale;
  const std::uint64_t quotient = fifth * scale + leftOver / 5;
  const std::uint64_t remainder = leftOver % 5;
  const std::uint64_t rest = remainder == 0 ? 0 : (remainder >= 3 ? soft::half64 + 1 : 1);
  return rounded(x.exponent - 3 - (smaller ? 1 : 0), quotient, rest);
}

// Writes count digits of x (below 16): each is the integer part of ten times the fraction of
// the one before, as the digit loop computes them in the extended format.
template <typename WriteDigit>
void fractionDigits(Magnitude x, int count, WriteDigit&& writeDigit) {
  constexpr int fixedBits = 60;
  constexpr std::uint64_t fixedFraction = (std::uint64_t{1} << fixedBits) - 1;
  for (; count > 0; --count) {
    // The bits of x below 2^-60, which would make ten times its fraction round.
    const int lowBits = 63 - fixedBits - x.exponent;
    if (x.isZero() ||
        (lowBits < 64 && (x.significand & ((std::uint64_t{1} << lowBits) - 1)) == 0)) {
      std::uint64_t fixed = x.isZero() ? 0 : (x.significand >> lowBits) & fixedFraction;
      for (; count > 0; --count) {
        fixed *= 10;
        writeDigit(static_cast<int>(fixed >> fixedBits));
        fixed &= fixedFraction;
      }
      return;
    }
    x = timesTen(fractionOf(x));
    writeDigit(static_cast<int>(wholeOf(x)));
  }
}

}  // namespace qv::digits
