// Decimal text to the nearest 80-bit extended value, rounded once as a compiler rounds a long
// double literal: the exact value of the text is formed with big integers and rounded to
// nearest, ties to even, with gradual underflow; beyond the range it is an infinity or a zero.
// Constexpr, so that the program's decimal constants are folded at compile time.
#pragma once

#include <cstdint>
#include <string_view>

#include "arithmetic/extended_format.h"
#include "arithmetic/wide.h"

namespace qv::soft {

// A natural number in 64-bit limbs, least significant first, large enough for ten to the power
// of the format's whole decimal range, shifted by the bits of a significand.
class BigNatural {
 public:
  static constexpr int capacity = 280;

  constexpr explicit BigNatural(std::uint64_t value = 0) {
    limbs_[0] = value;
    size_ = value != 0 ? 1 : 0;
  }

  constexpr bool isZero() const { return size_ == 0; }

  constexpr void multiplyAdd(std::uint64_t factor, std::uint64_t addend) {
    soft::Wide carry = addend;
    for (int i = 0; i < size_; ++i) {
      carry += soft::Wide{limbs_[i]} * factor;
      limbs_[i] = static_cast<std::uint64_t>(carry);
      carry >>= 64;
    }
    if (carry != 0 && size_ < capacity) limbs_[size_++] = static_cast<std::uint64_t>(carry);
  }

  constexpr void shiftLeft(int count) {
    const int whole = count / 64, part = count % 64;
    const int newSize = size_ + whole + 1 < capacity ? size_ + whole + 1 : capacity;
    for (int i = newSize - 1; i >= 0; --i) {
      const int from = i - whole;
      std::uint64_t limb = from >= 0 && from < size_ ? limbs_[from] << part : 0;
      if (part != 0 && from - 1 >= 0 && from - 1 < size_) limb |= limbs_[from - 1] >> (64 - part);
      limbs_[i] = limb;
    }
    size_ = newSize;
    trim();
  }

  constexpr void shiftRightOne() {
    for (int i = 0; i < size_; ++i) {
      limbs_[i] = (limbs_[i] >> 1) | (i + 1 < size_ ? limbs_[i + 1] << 63 : 0);
    }
    trim();
  }

  constexpr int bitLength() const {
    if (size_ == 0) return 0;
    int length = 64 * size_;
    for (std::uint64_t top = limbs_[size_ - 1]; (top >> 63) == 0; top <<= 1) --length;
    return length;
  }

  // The 64 bits from position `from` upwards; positions below 0 read as zeros.
  constexpr std::uint64_t bitsFrom(int from) const {
    std::uint64_t bits = 0;
    for (int i = 63; i >= 0; --i) bits = (bits << 1) | (bit(from + i) ? 1 : 0);
    return bits;
  }

  constexpr bool anyBitBelow(int position) const {
    for (int i = 0; i < size_ && 64 * i < position; ++i) {
      const int below = position - 64 * i;
      const std::uint64_t mask = below >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << below) - 1;
      if ((limbs_[i] & mask) != 0) return true;
    }
    return false;
  }

  constexpr bool operator>=(const BigNatural& other) const {
    if (size_ != other.size_) return size_ > other.size_;
    for (int i = size_ - 1; i >= 0; --i) {
      if (limbs_[i] != other.limbs_[i]) return limbs_[i] > other.limbs_[i];
    }
    return true;
  }

  constexpr void subtract(const BigNatural& other) {  // other <= *this
    std::uint64_t borrow = 0;
    for (int i = 0; i < size_; ++i) {
      const std::uint64_t subtrahend = i < other.size_ ? other.limbs_[i] : 0;
      const std::uint64_t result = limbs_[i] - subtrahend - borrow;
      borrow = (limbs_[i] < subtrahend || (limbs_[i] == subtrahend && borrow != 0)) ? 1 : 0;
      limbs_[i] = result;
    }
    trim();
  }

 private:
  constexpr bool bit(int position) const {
    if (position < 0 || position >= 64 * size_) return false;
    return ((limbs_[position / 64] >> (position % 64)) & 1) != 0;
  }
  constexpr void trim() {
    while (size_ > 0 && limbs_[size_ - 1] == 0) --size_;
  }

  std::uint64_t limbs_[capacity] = {};
  int size_ = 0;
};

// Ten to a power of at most 19, the largest that fits a limb.
constexpr std::uint64_t powerOfTenLimb(int exponent) {
  std::uint64_t power = 1;
  for (int i = 0; i < exponent; ++i) power *= 10;
  return power;
}

constexpr BigNatural powerOfTen(int exponent) {
  BigNatural power(1);
  for (; exponent > 0; exponent -= 19)
    power.multiplyAdd(powerOfTenLimb(exponent < 19 ? exponent : 19), 0);
  return power;
}

struct DecimalText {
  bool valid = false;
  bool negative = false;
  BigNatural digits;
  bool droppedNonZero = false;  // digits beyond those kept, as a sticky bit
  int digitCount = 0;           // significant digits kept
  int exponent = 0;             // of the last kept digit
};

// [sign] digits [. digits] [e|E [sign] digits]; at most maxDigits significant digits count
// exactly, any further ones only as being zero or not.
constexpr DecimalText parseDecimal(std::string_view text) {
  constexpr int maxDigits = 100;
  DecimalText parsed;
  std::size_t at = 0;
  const auto atChar = [&](char c) { return at < text.size() && text[at] == c; };
  const auto atDigit = [&] { return at < text.size() && text[at] >= '0' && text[at] <= '9'; };
  if (atChar('-') || atChar('+')) parsed.negative = text[at++] == '-';
  bool anyDigit = false, afterPoint = false;
  for (; atDigit() || (!afterPoint && atChar('.')); ++at) {
    if (text[at] == '.') {
      afterPoint = true;
      continue;
    }
    anyDigit = true;
    const int digit = text[at] - '0';
    if (parsed.digitCount == 0 && digit == 0) {
      if (afterPoint) --parsed.exponent;
    } else if (parsed.digitCount < maxDigits) {
      parsed.digits.multiplyAdd(10, static_cast<std::uint64_t>(digit));
      ++parsed.digitCount;
      if (afterPoint) --parsed.exponent;
    } else {
      parsed.droppedNonZero = parsed.droppedNonZero || digit != 0;
      if (!afterPoint) ++parsed.exponent;
    }
  }
  if (atChar('e') || atChar('E')) {
    ++at;
    bool negativeExponent = false;
    if (atChar('-') || atChar('+')) negativeExponent = text[at++] == '-';
    if (!atDigit()) return parsed;
    int written = 0;
    for (; atDigit(); ++at) {
      if (written < 100000) written = written * 10 + (text[at] - '0');
    }
    parsed.exponent += negativeExponent ? -written : written;
  }
  parsed.valid = anyDigit && at == text.size();
  return parsed;
}

// The decimal exponents beyond which every value is an infinity or rounds to zero.
inline constexpr int overflowingDecimalExponent = 4933;
inline constexpr int vanishingDecimalExponent = -4952;

constexpr ExtendedBits decimalToExtended(std::string_view text) {
  DecimalText parsed = parseDecimal(text);
  if (!parsed.valid) return defaultNaN;
  const bool negative = parsed.negative;
  if (parsed.digits.isZero()) return zeroBits(negative);
  const int magnitude = parsed.digitCount + parsed.exponent;  // the value is below 10^magnitude
  if (magnitude > overflowingDecimalExponent) return infinityBits(negative);
  if (magnitude <= vanishingDecimalExponent) return zeroBits(negative);

  BigNatural& value = parsed.digits;
  int binaryExponent = 0;  // value * 2^binaryExponent is the text's value, give or take the rest
  bool sticky = parsed.droppedNonZero;
  if (parsed.exponent >= 0) {
    for (int left = parsed.exponent; left > 0; left -= 19) {
      value.multiplyAdd(powerOfTenLimb(left < 19 ? left : 19), 0);
    }
  } else {
    // A quotient of 66 or 67 bits, and its remainder as the sticky bit.
    BigNatural divisor = powerOfTen(-parsed.exponent);
    const int shift = 66 + divisor.bitLength() - value.bitLength();
    if (shift > 0) value.shiftLeft(shift);
    if (shift < 0) divisor.shiftLeft(-shift);
    binaryExponent = -shift;
    constexpr int quotientBits = 68;
    divisor.shiftLeft(quotientBits - 1);
    BigNatural quotient(0);
    for (int i = quotientBits - 1; i >= 0; --i) {
      quotient.multiplyAdd(2, 0);
      if (value >= divisor) {
        value.subtract(divisor);
        quotient.multiplyAdd(1, 1);
      }
      divisor.shiftRightOne();
    }
    sticky = sticky || !value.isZero();
    value = quotient;
  }
  const int length = value.bitLength();
  const std::uint64_t significand = value.bitsFrom(length - 64);
  std::uint64_t rest = value.bitsFrom(length - 128);
  if (sticky || value.anyBitBelow(length - 128)) rest |= 1;
  return roundAndPack(negative, length - 1 + binaryExponent, significand, rest).value;
}

}  // namespace qv::soft
