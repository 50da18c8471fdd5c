// Conversions between the 80-bit extended format and integers and doubles, in integers, as the
// x87 loads and stores them: integers and doubles load exactly; a store to double rounds to
// nearest, ties to even, into the double's own range (overflow gives infinity, a tiny value a
// double denormal or zero); a store to a 64-bit integer takes an integral value that fits and
// is invalid otherwise.
#pragma once

#include <bit>
#include <cstdint>

#include "arithmetic/bit_cast.h"
#include "arithmetic/extended_format.h"
#include "arithmetic/soft_arithmetic.h"

namespace qv::soft {

constexpr ExtendedBits fromInt64(std::int64_t value) {
  if (value == 0) return {};
  const bool negative = value < 0;
  // The magnitude as unsigned, so that the most negative value needs no special case.
  const std::uint64_t magnitude = negative ? std::uint64_t{0} - static_cast<std::uint64_t>(value)
                                           : static_cast<std::uint64_t>(value);
  const int shift = std::countl_zero(magnitude);
  return pack({negative, 63 - shift, magnitude << shift});
}

// The double format's fields.
inline constexpr int doubleFractionBits = 52;
inline constexpr int doubleBias = 1023;
inline constexpr int doubleExponentField = 0x7FF;
inline constexpr std::uint64_t doubleFractionMask = (std::uint64_t{1} << doubleFractionBits) - 1;
inline constexpr std::uint64_t doubleQuietBit = std::uint64_t{1} << (doubleFractionBits - 1);
inline constexpr std::uint64_t doubleSignBit = std::uint64_t{1} << 63;
inline constexpr std::uint64_t doubleInfinity = std::uint64_t{doubleExponentField}
                                                << doubleFractionBits;
inline constexpr std::uint64_t doubleDefaultNaN = doubleSignBit | doubleInfinity | doubleQuietBit;
// The significand bits of the extended format below a double's last place.
inline constexpr int droppedBits = 63 - doubleFractionBits;

// Exact; a signalling NaN is an invalid operation and loads quiet.
constexpr Result fromDouble(double value) {
  const auto bits = bitCast<std::uint64_t>(value);
  const bool negative = (bits & doubleSignBit) != 0;
  const int exponent = static_cast<int>((bits >> doubleFractionBits) & doubleExponentField);
  const std::uint64_t fraction = bits & doubleFractionMask;
  if (exponent == doubleExponentField) {
    if (fraction == 0) return {infinityBits(negative)};
    const bool signaling = (fraction & doubleQuietBit) == 0;
    const ExtendedBits nan = {integerBit | quietBit | (fraction << droppedBits), exponentMask};
    return {withSign(nan, negative), static_cast<std::uint8_t>(signaling ? invalidFlag : 0)};
  }
  if (exponent == 0) {
    if (fraction == 0) return {zeroBits(negative)};
    const int shift = std::countl_zero(fraction);
    return {pack({negative, 1 - doubleBias - (shift - droppedBits), fraction << shift})};
  }
  return {pack({negative, exponent - doubleBias, integerBit | (fraction << droppedBits)})};
}

struct DoubleResult {
  double value;
  std::uint8_t flags = 0;
};

constexpr DoubleResult doubleOf(std::uint64_t bits, std::uint8_t flags = 0) {
  return {bitCast<double>(bits), flags};
}

constexpr DoubleResult toDouble(ExtendedBits x) {
  const Kind kind = kindOf(x);
  const std::uint64_t sign = isNegative(x) ? doubleSignBit : 0;
  switch (kind) {
    case Kind::unsupported:
      return doubleOf(doubleDefaultNaN, invalidFlag);
    case Kind::quietNaN:
    case Kind::signalingNaN:
      // The payload's top bits, quiet.
      return doubleOf(sign | doubleInfinity | doubleQuietBit |
                          ((x.significand >> droppedBits) & doubleFractionMask),
                      kind == Kind::signalingNaN ? invalidFlag : 0);
    case Kind::infinity:
      return doubleOf(sign | doubleInfinity);
    case Kind::zero:
      return doubleOf(sign);
    case Kind::finite:
      break;
  }
  const Unpacked value = unpack(x);
  // The last place is 2^-1074 for the double's denormals, else 52 bits below the leading one.
  const int denormalShift = value.exponent < 1 - doubleBias ? (1 - doubleBias) - value.exponent : 0;
  std::uint64_t kept = value.significand, rest = 0;
  shiftRightSticky(kept, rest, droppedBits);
  shiftRightSticky(kept, rest, denormalShift);
  const bool up = rest > half64 || (rest == half64 && (kept & 1) != 0);
  kept += up ? 1 : 0;
  if (denormalShift > 0)
    return doubleOf(sign | kept);  // a carry into bit 52 is the smallest normal
  int exponent = value.exponent;
  if (kept >> (doubleFractionBits + 1) != 0) {  // rounded up to the next power of two
    kept >>= 1;
    ++exponent;
  }
  if (exponent > doubleBias) return doubleOf(sign | doubleInfinity, overflowFlag);
  return doubleOf(sign | (std::uint64_t(exponent + doubleBias) << doubleFractionBits) |
                  (kept & doubleFractionMask));
}

struct IntegerResult {
  std::int64_t value;
  std::uint8_t flags = 0;
};

// Truncation toward zero to a 64-bit integer. What does not fit (NaN, infinity, beyond 2^63)
// is invalid and gives the integer indefinite, the most negative value.
constexpr IntegerResult truncateToInt64(ExtendedBits x) {
  constexpr IntegerResult indefinite = {INT64_MIN, invalidFlag};
  const Result whole = integerPart(x);
  const Kind kind = kindOf(whole.value);
  if (kind == Kind::zero) return {0, whole.flags};
  if (kind != Kind::finite) return indefinite;
  const Unpacked value = unpack(whole.value);
  if (value.exponent > 63) return indefinite;
  if (value.exponent == 63) {
    if (value.negative && value.significand == integerBit) return {INT64_MIN};
    return indefinite;
  }
  const std::uint64_t magnitude = value.significand >> (63 - value.exponent);
  const auto result = static_cast<std::int64_t>(magnitude);
  return {value.negative ? -result : result};
}

}  // namespace qv::soft
