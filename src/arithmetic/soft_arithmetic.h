// The arithmetic of the 80-bit extended format in integers, exactly as the x87 computes it with
// 64-bit precision and rounding to nearest: each operation forms its exact result (or enough of
// it, with a sticky bit for the rest) and rounds once. Every function is constexpr, so that
// constants are folded by the very code that computes at run time.
//
// Operands the x87 refuses (see extended_format.h) make any operation invalid and give the
// default NaN; NaN operands propagate as the x87 propagates them.
#pragma once

#include <bit>
#include <compare>
#include <cstdint>
#include <utility>

#include "arithmetic/extended_format.h"
#include "arithmetic/wide.h"

namespace qv::soft {

constexpr std::uint64_t high(Wide x) {
  return static_cast<std::uint64_t>(x >> 64);
}
constexpr std::uint64_t low(Wide x) {
  return static_cast<std::uint64_t>(x);
}

// Magnitude order of two unpacked values.
constexpr bool magnitudeBelow(const Unpacked& a, const Unpacked& b) {
  return a.exponent != b.exponent ? a.exponent < b.exponent : a.significand < b.significand;
}

constexpr Result addUnpacked(Unpacked a, Unpacked b) {
  if (magnitudeBelow(a, b)) std::swap(a, b);
  std::uint64_t smaller = b.significand, smallerRest = 0;
  shiftRightSticky(smaller, smallerRest, a.exponent - b.exponent);
  if (a.negative == b.negative) {
    const Wide larger = Wide{a.significand} << 64;
    const Wide sum = larger + ((Wide{smaller} << 64) | smallerRest);
    std::uint64_t hi = high(sum), rest = low(sum);
    int exponent = a.exponent;
    if (sum < larger) {  // carried out of the top bit
      shiftRightSticky(hi, rest, 1);
      hi |= integerBit;
      ++exponent;
    }
    return roundAndPack(a.negative, exponent, hi, rest);
  }
  const Wide difference = (Wide{a.significand} << 64) - ((Wide{smaller} << 64) | smallerRest);
  if (difference == 0) return {zeroBits(false)};  // exact cancellation is +0 to nearest
  const int shift = high(difference) != 0 ? std::countl_zero(high(difference))
                                          : 64 + std::countl_zero(low(difference));
  const Wide normalised = difference << shift;
  return roundAndPack(a.negative, a.exponent - shift, high(normalised), low(normalised));
}

constexpr Result add(ExtendedBits a, ExtendedBits b) {
  const Kind kindA = kindOf(a), kindB = kindOf(b);
  if (kindA == Kind::unsupported || kindB == Kind::unsupported) return invalidOperation();
  if (isNaNOrUnsupported(kindA) || isNaNOrUnsupported(kindB)) {
    return propagateNaN(a, b, kindA, kindB);
  }
  if (kindA == Kind::infinity || kindB == Kind::infinity) {
    if (kindA == kindB && isNegative(a) != isNegative(b)) return invalidOperation();
    return {kindA == Kind::infinity ? a : b};
  }
  if (kindA == Kind::zero && kindB == Kind::zero) {
    return {zeroBits(isNegative(a) && isNegative(b))};
  }
  if (kindB == Kind::zero) return {pack(unpack(a))};
  if (kindA == Kind::zero) return {pack(unpack(b))};
  return addUnpacked(unpack(a), unpack(b));
}

constexpr ExtendedBits negate(ExtendedBits x) {
  x.signExponent ^= signMask;
  return x;
}
constexpr ExtendedBits absolute(ExtendedBits x) {
  x.signExponent &= exponentMask;
  return x;
}

// A NaN operand is taken as it stands: only the sign of a number is changed.
constexpr Result subtract(ExtendedBits a, ExtendedBits b) {
  const Kind kindB = kindOf(b);
  return add(a, isNaNOrUnsupported(kindB) ? b : negate(b));
}

constexpr Result multiply(ExtendedBits a, ExtendedBits b) {
  const Kind kindA = kindOf(a), kindB = kindOf(b);
  if (kindA == Kind::unsupported || kindB == Kind::unsupported) return invalidOperation();
  if (isNaNOrUnsupported(kindA) || isNaNOrUnsupported(kindB)) {
    return propagateNaN(a, b, kindA, kindB);
  }
  const bool negative = isNegative(a) != isNegative(b);
  if (kindA == Kind::infinity || kindB == Kind::infinity) {
    if (kindA == Kind::zero || kindB == Kind::zero) return invalidOperation();
    return {infinityBits(negative)};
  }
  if (kindA == Kind::zero || kindB == Kind::zero) return {zeroBits(negative)};
  const Unpacked x = unpack(a), y = unpack(b);
  Wide product = Wide{x.significand} * y.significand;  // in [2^126, 2^128)
  int exponent = x.exponent + y.exponent + 1;
  if (high(product) < integerBit) {
    product <<= 1;
    --exponent;
  }
  return roundAndPack(negative, exponent, high(product), low(product));
}

// The rest of a quotient digit by digit: what is left of the divisor, as a rest word that
// rounds correctly (exactly half, above or below half, or nothing).
constexpr std::uint64_t quotientRest(std::uint64_t remainder, std::uint64_t divisor) {
  if (remainder == 0) return 0;
  const std::uint64_t otherPart = divisor - remainder;
  if (remainder == otherPart) return half64;
  return remainder > otherPart ? half64 + 1 : 1;
}

constexpr Result divide(ExtendedBits a, ExtendedBits b) {
  const Kind kindA = kindOf(a), kindB = kindOf(b);
  if (kindA == Kind::unsupported || kindB == Kind::unsupported) return invalidOperation();
  if (isNaNOrUnsupported(kindA) || isNaNOrUnsupported(kindB)) {
    return propagateNaN(a, b, kindA, kindB);
  }
  const bool negative = isNegative(a) != isNegative(b);
  if (kindA == Kind::infinity) {
    if (kindB == Kind::infinity) return invalidOperation();
    return {infinityBits(negative)};
  }
  if (kindB == Kind::infinity) return {zeroBits(negative)};
  if (kindB == Kind::zero) {
    if (kindA == Kind::zero) return invalidOperation();
    return {infinityBits(negative), zeroDivideFlag};
  }
  if (kindA == Kind::zero) return {zeroBits(negative)};
  const Unpacked x = unpack(a), y = unpack(b);
  // A dividend shifted so that the quotient has exactly 64 bits, its top one set.
  const bool smaller = x.significand < y.significand;
  const Wide dividend = Wide{x.significand} << (smaller ? 64 : 63);
  std::uint64_t remainder = 0;
  const std::uint64_t quotient =
      divideWide(high(dividend), low(dividend), y.significand, remainder);
  return roundAndPack(negative, x.exponent - y.exponent - (smaller ? 1 : 0), quotient,
                      quotientRest(remainder, y.significand));
}

// The integer square root of a 128-bit value of at least 2^126: a 32-bit root of the top half
// digit by digit, one Newton step to 64 bits, then the last unit set right.
constexpr std::uint64_t squareRoot128(Wide value, Wide& remainder) {
  const std::uint64_t top = high(value);
  std::uint64_t root = 0, left = top;
  for (int bit = 31; bit >= 0; --bit) {
    const std::uint64_t trial = (root << (bit + 1)) + (std::uint64_t{1} << (2 * bit));
    if (left >= trial) {
      left -= trial;
      root |= std::uint64_t{1} << bit;
    }
  }
  // From below by at most 2^32, so one step lands within a unit or two above the root.
  const Wide estimate = Wide{root} << 32;
  Wide next = (estimate + value / estimate) >> 1;
  if (next > ~std::uint64_t{0}) next = ~std::uint64_t{0};
  std::uint64_t result = low(next);
  while (Wide{result} * result > value) --result;
  while (result != ~std::uint64_t{0} && Wide{result + 1} * (result + 1) <= value) ++result;
  remainder = value - Wide{result} * result;
  return result;
}

constexpr Result squareRoot(ExtendedBits x) {
  const Kind kind = kindOf(x);
  if (kind == Kind::unsupported) return invalidOperation();
  if (isNaNOrUnsupported(kind)) return propagateNaN(x, kind);
  if (kind == Kind::zero) return {x};
  if (isNegative(x)) return invalidOperation();
  if (kind == Kind::infinity) return {x};
  const Unpacked value = unpack(x);
  // An even exponent for the radicand, which then has 127 or 128 bits.
  const bool odd = (value.exponent & 1) != 0;
  const Wide radicand = Wide{value.significand} << (odd ? 64 : 63);
  Wide remainder = 0;
  const std::uint64_t root = squareRoot128(radicand, remainder);
  // (root + 1/2)^2 = root^2 + root + 1/4 is never an integer, so there are no ties.
  const std::uint64_t rest = remainder == 0 ? 0 : (remainder > root ? half64 + 1 : 1);
  const int exponent = odd ? (value.exponent - 1) / 2 : value.exponent / 2;
  return roundAndPack(false, exponent, root, rest);
}

// Quiet comparison: unordered with a NaN, invalid only for a signalling or refused operand.
struct Comparison {
  std::partial_ordering order;
  std::uint8_t flags = 0;
};

constexpr Comparison compare(ExtendedBits a, ExtendedBits b) {
  const Kind kindA = kindOf(a), kindB = kindOf(b);
  if (isNaNOrUnsupported(kindA) || isNaNOrUnsupported(kindB)) {
    const bool invalid = (kindA != Kind::quietNaN && isNaNOrUnsupported(kindA)) ||
                         (kindB != Kind::quietNaN && isNaNOrUnsupported(kindB));
    return {std::partial_ordering::unordered, static_cast<std::uint8_t>(invalid ? invalidFlag : 0)};
  }
  if (kindA == Kind::zero && kindB == Kind::zero) return {std::partial_ordering::equivalent};
  const bool negativeA = kindA != Kind::zero && isNegative(a);
  const bool negativeB = kindB != Kind::zero && isNegative(b);
  if (negativeA != negativeB) {
    return {negativeA ? std::partial_ordering::less : std::partial_ordering::greater};
  }
  // Same sign: order the magnitudes, zero lowest and infinity highest.
  const auto rank = [](ExtendedBits x, Kind kind) {
    if (kind == Kind::zero) return Unpacked{false, minExponent - 128, 0};
    if (kind == Kind::infinity) return Unpacked{false, maxExponent + 1, 0};
    return unpack(x);
  };
  const Unpacked x = rank(a, kindA), y = rank(b, kindB);
  std::partial_ordering order = std::partial_ordering::equivalent;
  if (magnitudeBelow(x, y)) order = std::partial_ordering::less;
  if (magnitudeBelow(y, x)) order = std::partial_ordering::greater;
  if (negativeA && order != std::partial_ordering::equivalent) {
    order = order == std::partial_ordering::less ? std::partial_ordering::greater
                                                 : std::partial_ordering::less;
  }
  return {order};
}

// Truncation toward zero to an integral extended value; the sign of a zero result is the
// operand's.
constexpr Result integerPart(ExtendedBits x) {
  const Kind kind = kindOf(x);
  if (kind == Kind::unsupported) return invalidOperation();
  if (isNaNOrUnsupported(kind)) return propagateNaN(x, kind);
  if (kind != Kind::finite) return {x};
  const Unpacked value = unpack(x);
  if (value.exponent < 0) return {zeroBits(value.negative)};
  if (value.exponent >= 63) return {pack(value)};
  const std::uint64_t fraction = (std::uint64_t{1} << (63 - value.exponent)) - 1;
  return {pack({value.negative, value.exponent, value.significand & ~fraction})};
}

}  // namespace qv::soft
