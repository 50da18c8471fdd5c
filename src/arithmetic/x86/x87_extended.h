// The extended type computed by the x87 unit: the hardware implementation of Extended, where
// long double is the 80-bit format. The program's control word makes the unit trap invalid
// operations, divisions by zero and overflows; the fault handling turns the traps into run-time
// errors at the faulting instruction. Where the compilers differ (relational comparisons signal
// on a quiet NaN with one and not with the other) or would call the C library, the instruction
// is chosen here, so that the type behaves the same whoever compiles it.
#pragma once

#include <compare>
#include <concepts>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string_view>

#include "arithmetic/bit_cast.h"
#include "arithmetic/extended_decimal.h"
#include "arithmetic/extended_format.h"

namespace qv {

static_assert(sizeof(long double) >= 10 && std::numeric_limits<long double>::digits == 64 &&
                  std::numeric_limits<long double>::max_exponent == 16384,
              "the hardware extended type needs long double to be the x87 80-bit format");

class X87Extended {
 public:
  constexpr X87Extended() = default;
  template <std::signed_integral Integer>
  constexpr X87Extended(Integer value) : value_(static_cast<long double>(value)) {}
  template <std::unsigned_integral Integer>
  X87Extended(Integer) = delete;
  [[gnu::always_inline]] constexpr X87Extended(double value) : value_(value) {}

  static constexpr X87Extended fromBits(ExtendedBits bits) {
    struct Image {
      std::uint64_t significand;
      std::uint16_t signExponent;
      std::uint16_t padding[(sizeof(long double) - 10) / 2];
    };
    X87Extended x;
    x.value_ = bitCast<long double>(Image{bits.significand, bits.signExponent, {}});
    return x;
  }
  static constexpr X87Extended decimal(std::string_view text) {
    return fromBits(soft::decimalToExtended(text));
  }
  ExtendedBits bits() const {
    ExtendedBits bits;
    std::memcpy(&bits.significand, &value_, sizeof bits.significand);
    std::memcpy(&bits.signExponent, reinterpret_cast<const char*>(&value_) + 8,
                sizeof bits.signExponent);
    return bits;
  }

  // The store can overflow or meet a signalling NaN; waiting here raises its trap in this
  // statement rather than at whatever x87 instruction happens to come next.
  [[gnu::always_inline]] explicit operator double() const {
    double result = static_cast<double>(value_);
    // After the store: it needs the stored value (in an SSE register on x86-64, in memory on
    // a 32-bit PC, whose doubles live on the x87).
#ifdef __x86_64__
    asm volatile("fwait" : "+x"(result));
#else
    asm volatile("fwait" : "+m"(result));
#endif
    return result;
  }

  [[gnu::always_inline]] friend X87Extended operator+(X87Extended a, X87Extended b) {
    return of(a.value_ + b.value_);
  }
  [[gnu::always_inline]] friend X87Extended operator-(X87Extended a, X87Extended b) {
    return of(a.value_ - b.value_);
  }
  [[gnu::always_inline]] friend X87Extended operator*(X87Extended a, X87Extended b) {
    return of(a.value_ * b.value_);
  }
  [[gnu::always_inline]] friend X87Extended operator/(X87Extended a, X87Extended b) {
    return of(a.value_ / b.value_);
  }
  [[gnu::always_inline]] friend X87Extended operator-(X87Extended a) {
    return of(-a.value_);
  }
  [[gnu::always_inline]] X87Extended& operator+=(X87Extended b) {
    return *this = *this + b;
  }
  [[gnu::always_inline]] X87Extended& operator-=(X87Extended b) {
    return *this = *this - b;
  }
  [[gnu::always_inline]] X87Extended& operator*=(X87Extended b) {
    return *this = *this * b;
  }
  [[gnu::always_inline]] X87Extended& operator/=(X87Extended b) {
    return *this = *this / b;
  }

  // Quiet comparisons (fucomi): a NaN is unordered and raises nothing, unless it is signalling.
  // That invalid operation would wait for the next x87 instruction, which may come much later
  // or never: the first comparison waits for it, so that it is raised in this statement. (Only
  // a signalling NaN raises anything here, and the first comparison meets it already.)
  [[gnu::always_inline]] friend bool operator==(X87Extended a, X87Extended b) {
    bool equal = a.value_ == b.value_;
    asm volatile("fwait" : "+r"(equal));  // after the comparison: it needs the result
    return equal;
  }
  [[gnu::always_inline]] friend std::partial_ordering operator<=>(X87Extended a, X87Extended b) {
    if (a == b) return std::partial_ordering::equivalent;
    if (__builtin_isless(a.value_, b.value_)) return std::partial_ordering::less;
    if (__builtin_isgreater(a.value_, b.value_)) return std::partial_ordering::greater;
    return std::partial_ordering::unordered;
  }

  [[gnu::always_inline]] friend X87Extended sqrt(X87Extended x) {
    asm("fsqrt" : "+t"(x.value_));
    return x;
  }
  [[gnu::always_inline]] friend X87Extended abs(X87Extended x) {
    return of(__builtin_fabsl(x.value_));
  }

  // Truncation toward zero without switching the rounding mode: with the program's control
  // word every switch was slow enough to make a conversion ten times dearer. Rounding to
  // nearest with the 2^63 shift leaves an integer in the 64-bit significand; where that rounded
  // up, step back by one. Every value from 2^63 on is an integer already. A NaN is returned
  // through an addition, which quiets it and signals as any arithmetic would.
  [[gnu::always_inline]] friend X87Extended intPart(X87Extended x) {
    if (isNaN(x)) return x + x;
    const long double magnitude = __builtin_fabsl(x.value_);
    if (!__builtin_isless(magnitude, twoTo63) || magnitude == 0) return x;
    const long double nearest = (magnitude + twoTo63) - twoTo63;
    // One when rounding went up; as a number, not a branch: digits make it unpredictable.
    const long double back = static_cast<int>(__builtin_isgreater(nearest, magnitude));
    const long double whole = nearest - back;
    return of(signBit(x) ? -whole : whole);
  }
  [[gnu::always_inline]] friend X87Extended fracPart(X87Extended x) {
    return x - intPart(x);
  }
  // An integral value stores exactly in any rounding mode; one that does not fit is invalid.
  [[gnu::always_inline]] friend std::int64_t truncToInteger(X87Extended x) {
    const long double whole = intPart(x).value_;
    std::int64_t result = 0;
    asm volatile("fistpll %0\n\tfwait" : "=m"(result) : "t"(whole) : "st");
    return result;
  }

  // Classification from the bits, which raises nothing. Encodings the x87 refuses as operands
  // count as NaNs.
  [[gnu::always_inline]] friend bool isNaN(X87Extended x) {
    return soft::isNaNOrUnsupported(soft::kindOf(x.bits()));
  }
  [[gnu::always_inline]] friend bool isInf(X87Extended x) {
    return soft::kindOf(x.bits()) == soft::Kind::infinity;
  }
  [[gnu::always_inline]] friend bool signBit(X87Extended x) {
    return soft::isNegative(x.bits());
  }

 private:
  static constexpr long double twoTo63 = 9223372036854775808.0L;

  [[gnu::always_inline]] static X87Extended of(long double value) {
    X87Extended x;
    x.value_ = value;
    return x;
  }

  long double value_ = 0;
};

}  // namespace qv
