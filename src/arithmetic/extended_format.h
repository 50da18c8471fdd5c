// The 80-bit extended format as bits, and the two steps every software operation on it shares:
// taking a value apart into sign, exponent and a normalised 64-bit significand, and rounding an
// exact result back into the format (to nearest, ties to even, with gradual underflow).
//
// Layout: a 64-bit significand whose top bit is the explicit integer bit, then 16 bits of sign
// and 15-bit biased exponent. Beside the values every format has, the explicit integer bit
// allows encodings the x87 refuses as operands (invalid operation): an integer bit of 0 with an
// exponent that is neither 0 nor all ones (unnormals), or with an exponent of all ones
// (pseudo-infinities and pseudo-NaNs). An integer bit of 1 with exponent 0 (a pseudo-denormal)
// is accepted and read as a denormal whose exponent is that of the smallest normal value.
#pragma once

#include <bit>
#include <cstdint>

#include "runtime/fpu_control.h"

namespace qv {

struct ExtendedBits {
  std::uint64_t significand = 0;
  std::uint16_t signExponent = 0;

  friend constexpr bool operator==(ExtendedBits, ExtendedBits) = default;
};

namespace soft {

inline constexpr std::uint16_t signMask = 0x8000;
inline constexpr std::uint16_t exponentMask = 0x7FFF;
inline constexpr int exponentBias = 16383;
inline constexpr int minExponent = 1 - exponentBias;  // of the smallest normal value
inline constexpr int maxExponent = exponentBias;      // of the largest finite value
inline constexpr std::uint64_t integerBit = std::uint64_t{1} << 63;
inline constexpr std::uint64_t quietBit = std::uint64_t{1} << 62;
inline constexpr std::uint64_t half64 = std::uint64_t{1} << 63;  // a rest of exactly one half

// The x87's answer to an invalid operation when it is masked: the "real indefinite" NaN.
inline constexpr ExtendedBits defaultNaN = {integerBit | quietBit, signMask | exponentMask};

// The exceptions the program's control word traps: the only ones the arithmetic reports.
inline constexpr std::uint8_t invalidFlag = fpuInvalid;
inline constexpr std::uint8_t zeroDivideFlag = fpuZeroDivide;
inline constexpr std::uint8_t overflowFlag = fpuOverflow;

// A result and the exceptions raised on the way to it.
struct Result {
  ExtendedBits value;
  std::uint8_t flags = 0;
};

enum class Kind { zero, finite, infinity, quietNaN, signalingNaN, unsupported };

constexpr bool isNegative(ExtendedBits x) {
  return (x.signExponent & signMask) != 0;
}
constexpr int biasedExponent(ExtendedBits x) {
  return x.signExponent & exponentMask;
}

constexpr Kind kindOf(ExtendedBits x) {
  const int exponent = biasedExponent(x);
  const bool integer = (x.significand & integerBit) != 0;
  if (exponent == exponentMask) {
    if (!integer) return Kind::unsupported;
    if (x.significand == integerBit) return Kind::infinity;
    return (x.significand & quietBit) != 0 ? Kind::quietNaN : Kind::signalingNaN;
  }
  if (exponent == 0) return x.significand == 0 ? Kind::zero : Kind::finite;
  return integer ? Kind::finite : Kind::unsupported;
}

constexpr bool isNaNOrUnsupported(Kind kind) {
  return kind == Kind::quietNaN || kind == Kind::signalingNaN || kind == Kind::unsupported;
}

constexpr ExtendedBits withSign(ExtendedBits x, bool negative) {
  const auto magnitude = static_cast<std::uint16_t>(x.signExponent & exponentMask);
  return {x.significand, static_cast<std::uint16_t>(magnitude | (negative ? signMask : 0))};
}
constexpr ExtendedBits zeroBits(bool negative) {
  return withSign({}, negative);
}
constexpr ExtendedBits infinityBits(bool negative) {
  return withSign({integerBit, exponentMask}, negative);
}

// A finite non-zero value as significand * 2^(exponent - 63), the significand's top bit set.
struct Unpacked {
  bool negative;
  int exponent;
  std::uint64_t significand;
};

constexpr Unpacked unpack(ExtendedBits x) {
  const int biased = biasedExponent(x);
  if (biased != 0) return {isNegative(x), biased - exponentBias, x.significand};
  const int shift = std::countl_zero(x.significand);  // 0 for a pseudo-denormal
  return {isNegative(x), minExponent - shift, x.significand << shift};
}

// Shifts the 128-bit hi:rest right by count, keeping in the lowest bit of rest whether any set
// bit was shifted out: enough to round correctly at any position above it.
constexpr void shiftRightSticky(std::uint64_t& hi, std::uint64_t& rest, int count) {
  if (count == 0) return;
  if (count < 64) {
    const bool lost = (rest << (64 - count)) != 0;
    rest = (hi << (64 - count)) | (rest >> count) | (lost ? 1 : 0);
    hi >>= count;
  } else if (count == 64) {
    rest = hi | (rest != 0 ? 1 : 0);
    hi = 0;
  } else if (count < 128) {
    const bool lost = rest != 0 || (hi << (128 - count)) != 0;
    rest = (hi >> (count - 64)) | (lost ? 1 : 0);
    hi = 0;
  } else {
    rest = (hi | rest) != 0 ? 1 : 0;
    hi = 0;
  }
}

// Rounds significand.rest * 2^(exponent - 63) into the format. The significand's top bit is
// set; rest holds the bits below it, the lowest one also standing for any bits beyond. Below the
// smallest normal exponent the value is denormalised first, so that it is rounded only once,
// at the denormal's own last place; a denormal that rounds up to the integer bit is the
// smallest normal value, which its encoding then says by itself.
constexpr Result roundAndPack(bool negative, int exponent, std::uint64_t significand,
                              std::uint64_t rest) {
  const bool denormal = exponent < minExponent;
  if (denormal) shiftRightSticky(significand, rest, minExponent - exponent);
  const bool up = rest > half64 || (rest == half64 && (significand & 1) != 0);
  significand += up ? 1 : 0;
  if (denormal) {
    const int biased = (significand & integerBit) != 0 ? 1 : 0;
    return {withSign({significand, static_cast<std::uint16_t>(biased)}, negative)};
  }
  if (significand == 0) {  // rounded up past all ones
    significand = integerBit;
    ++exponent;
  }
  if (exponent > maxExponent) return {infinityBits(negative), overflowFlag};
  return {withSign({significand, static_cast<std::uint16_t>(exponent + exponentBias)}, negative)};
}

// An exact value (no rest) in its canonical encoding.
constexpr ExtendedBits pack(const Unpacked& value) {
  return roundAndPack(value.negative, value.exponent, value.significand, 0).value;
}

// NaN operands, as the x87 chooses among them: a quiet NaN before a signalling one, else the
// larger significand, and of two equal ones the positive. The result is always quiet;
// a signalling operand is an invalid operation.
constexpr Result propagateNaN(ExtendedBits a, ExtendedBits b, Kind kindA, Kind kindB) {
  const bool signaling = kindA == Kind::signalingNaN || kindB == Kind::signalingNaN;
  ExtendedBits chosen = a;
  if (kindA != Kind::quietNaN && kindA != Kind::signalingNaN) {
    chosen = b;
  } else if (kindB == Kind::quietNaN || kindB == Kind::signalingNaN) {
    if (kindA != kindB) {
      chosen = kindA == Kind::quietNaN ? a : b;
    } else if (a.significand != b.significand) {
      chosen = a.significand > b.significand ? a : b;
    } else {
      chosen = isNegative(a) ? b : a;
    }
  }
  chosen.significand |= quietBit;
  return {chosen, static_cast<std::uint8_t>(signaling ? invalidFlag : 0)};
}

constexpr Result propagateNaN(ExtendedBits a, Kind kind) {
  return propagateNaN(a, a, kind, kind);
}

constexpr Result invalidOperation() {
  return {defaultNaN, invalidFlag};
}

}  // namespace soft
}  // namespace qv
