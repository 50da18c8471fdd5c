// Unsigned 128-bit integers for the arithmetic in integers: the compiler's own where it has one
// (64-bit targets), else two 64-bit halves with the few operations that arithmetic uses (32-bit
// ARM, i386, mips).
#pragma once

#include <cstdint>

namespace qv::soft {

#if defined(__SIZEOF_INT128__) && !defined(QV_PORTABLE_WIDE)

using Wide = unsigned __int128;

#else

class Wide {
 public:
  constexpr Wide(std::uint64_t value = 0) : high_(0), low_(value) {}
  constexpr Wide(std::uint64_t high, std::uint64_t low) : high_(high), low_(low) {}
  constexpr explicit operator std::uint64_t() const { return low_; }

  friend constexpr bool operator==(Wide a, Wide b) = default;
  friend constexpr bool operator<(Wide a, Wide b) {
    return a.high_ != b.high_ ? a.high_ < b.high_ : a.low_ < b.low_;
  }
  friend constexpr bool operator>(Wide a, Wide b) { return b < a; }
  friend constexpr bool operator<=(Wide a, Wide b) { return !(b < a); }
  friend constexpr bool operator>=(Wide a, Wide b) { return !(a < b); }

  friend constexpr Wide operator|(Wide a, Wide b) { return {a.high_ | b.high_, a.low_ | b.low_}; }
  friend constexpr Wide operator+(Wide a, Wide b) {
    const std::uint64_t low = a.low_ + b.low_;
    return {a.high_ + b.high_ + (low < a.low_ ? 1 : 0), low};
  }
  friend constexpr Wide operator-(Wide a, Wide b) {
    return {a.high_ - b.high_ - (a.low_ < b.low_ ? 1 : 0), a.low_ - b.low_};
  }
  friend constexpr Wide operator<<(Wide a, int count) {
    if (count == 0) return a;
    if (count >= 128) return {};
    if (count >= 64) return {a.low_ << (count - 64), 0};
    return {(a.high_ << count) | (a.low_ >> (64 - count)), a.low_ << count};
  }
  friend constexpr Wide operator>>(Wide a, int count) {
    if (count == 0) return a;
    if (count >= 128) return {};
    if (count >= 64) return {0, a.high_ >> (count - 64)};
    return {a.high_ >> count, (a.low_ >> count) | (a.high_ << (64 - count))};
  }
  constexpr Wide& operator<<=(int count) { return *this = *this << count; }
  constexpr Wide& operator>>=(int count) { return *this = *this >> count; }
  constexpr Wide& operator+=(Wide b) { return *this = *this + b; }

  // The low 128 bits of the product.
  friend constexpr Wide operator*(Wide a, Wide b) {
    Wide product = fullProduct(a.low_, b.low_);
    product.high_ += a.low_ * b.high_ + a.high_ * b.low_;
    return product;
  }
  // Long division, a bit at a time: only the 32-bit targets take it.
  friend constexpr Wide operator/(Wide a, Wide b) {
    Wide quotient, remainder;
    for (int bit = 127; bit >= 0; --bit) {
      remainder = (remainder << 1) | ((a >> bit).low_ & 1);
      if (remainder >= b) {
        remainder = remainder - b;
        quotient = quotient | (Wide{1} << bit);
      }
    }
    return quotient;
  }

  constexpr std::uint64_t high() const { return high_; }

 private:
  static constexpr Wide fullProduct(std::uint64_t a, std::uint64_t b) {
    const std::uint64_t a0 = a & 0xFFFFFFFF, a1 = a >> 32, b0 = b & 0xFFFFFFFF, b1 = b >> 32;
    const std::uint64_t p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
    const std::uint64_t middle = (p00 >> 32) + (p01 & 0xFFFFFFFF) + (p10 & 0xFFFFFFFF);
    return {p11 + (p01 >> 32) + (p10 >> 32) + (middle >> 32), (middle << 32) | (p00 & 0xFFFFFFFF)};
  }

  std::uint64_t high_;
  std::uint64_t low_;
};

#endif

// (high * 2^64 + low) / divisor for a divisor with its top bit set and high below it, so that
// the quotient fits 64 bits; the remainder goes to remainder. Two steps of 32-bit digits, each
// a 64-bit division and at most two corrections: without a 128-by-64 instruction this is far
// quicker than a general 128-bit division, which works a bit at a time.
constexpr std::uint64_t divideWide(std::uint64_t high, std::uint64_t low, std::uint64_t divisor,
                                   std::uint64_t& remainder) {
  constexpr std::uint64_t digit = std::uint64_t{1} << 32;
  const std::uint64_t divisorHigh = divisor >> 32, divisorLow = divisor & (digit - 1);
  const std::uint64_t lowHigh = low >> 32, lowLow = low & (digit - 1);
  // One quotient digit of (top * 2^32 + next) / divisor, with top below the divisor.
  auto step = [&](std::uint64_t top, std::uint64_t next, std::uint64_t& rest) {
    std::uint64_t q = top / divisorHigh, r = top - q * divisorHigh;
    while (q >= digit || q * divisorLow > r * digit + next) {
      --q;
      r += divisorHigh;
      if (r >= digit) break;
    }
    rest = top * digit + next - q * divisor;  // wraps to the true rest, which is below divisor
    return q;
  };
  std::uint64_t middle = 0;
  const std::uint64_t first = step(high, lowHigh, middle);
  const std::uint64_t second = step(middle, lowLow, remainder);
  return first * digit + second;
}

}  // namespace qv::soft
