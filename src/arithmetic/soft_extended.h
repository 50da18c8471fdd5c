// The extended type computed in integers: the software implementation of Extended, for targets
// whose long double is not the x87 format, and selectable on x86-64 too. Its results are those
// of the x87 bit for bit (soft_arithmetic.h, soft_conversions.h); the exceptions the program's
// control word traps end the program with the same run-time errors, raised at the statement
// that did the arithmetic.
#pragma once

#include <compare>
#include <concepts>
#include <cstdint>
#include <string_view>

#include "arithmetic/extended_decimal.h"
#include "arithmetic/extended_format.h"
#include "arithmetic/soft_arithmetic.h"
#include "arithmetic/soft_conversions.h"

namespace qv {

// The run-time error of the first trapped exception among flags (207 invalid operation, 200
// division by zero, 205 overflow), raised at the place this is called from, in the frame of the
// function that calls it; returns when every one of them is masked. The operations are forced
// inline so that this call sits in the statement that did the arithmetic, and no two calls may
// be merged into one, which would make one statement's error name another's address: clang
// is told so here, GCC by -fno-crossjumping (CMakeLists.txt).
#ifdef __clang__
[[gnu::noinline, clang::nomerge]] void signalExtendedFlags(std::uint8_t flags);
#else
[[gnu::noinline]] void signalExtendedFlags(std::uint8_t flags);
#endif

class SoftExtended {
 public:
  constexpr SoftExtended() = default;
  template <std::signed_integral Integer>
  constexpr SoftExtended(Integer value) : bits_(soft::fromInt64(value)) {}
  // A 64-bit unsigned value may not fit: convert to the signed or floating type that is meant.
  template <std::unsigned_integral Integer>
  SoftExtended(Integer) = delete;
  [[gnu::always_inline]] constexpr SoftExtended(double value)
      : bits_(checked(soft::fromDouble(value))) {}

  static constexpr SoftExtended fromBits(ExtendedBits bits) {
    SoftExtended x;
    x.bits_ = bits;
    return x;
  }
  // The nearest value to a decimal text, rounded once (as a long double literal).
  static constexpr SoftExtended decimal(std::string_view text) {
    return fromBits(soft::decimalToExtended(text));
  }
  constexpr ExtendedBits bits() const { return bits_; }

  [[gnu::always_inline]] constexpr explicit operator double() const {
    const soft::DoubleResult result = soft::toDouble(bits_);
    check(result.flags);
    return result.value;
  }

  [[gnu::always_inline]] friend constexpr SoftExtended operator+(SoftExtended a, SoftExtended b) {
    return fromBits(checked(soft::add(a.bits_, b.bits_)));
  }
  [[gnu::always_inline]] friend constexpr SoftExtended operator-(SoftExtended a, SoftExtended b) {
    return fromBits(checked(soft::subtract(a.bits_, b.bits_)));
  }
  [[gnu::always_inline]] friend constexpr SoftExtended operator*(SoftExtended a, SoftExtended b) {
    return fromBits(checked(soft::multiply(a.bits_, b.bits_)));
  }
  [[gnu::always_inline]] friend constexpr SoftExtended operator/(SoftExtended a, SoftExtended b) {
    return fromBits(checked(soft::divide(a.bits_, b.bits_)));
  }
  friend constexpr SoftExtended operator-(SoftExtended a) {
    return fromBits(soft::negate(a.bits_));
  }
  [[gnu::always_inline]] constexpr SoftExtended& operator+=(SoftExtended b) {
    return *this = *this + b;
  }
  [[gnu::always_inline]] constexpr SoftExtended& operator-=(SoftExtended b) {
    return *this = *this - b;
  }
  [[gnu::always_inline]] constexpr SoftExtended& operator*=(SoftExtended b) {
    return *this = *this * b;
  }
  [[gnu::always_inline]] constexpr SoftExtended& operator/=(SoftExtended b) {
    return *this = *this / b;
  }

  // Quiet comparisons: a NaN is unordered and raises nothing, unless it is signalling.
  [[gnu::always_inline]] friend constexpr bool operator==(SoftExtended a, SoftExtended b) {
    return (a <=> b) == 0;
  }
  [[gnu::always_inline]] friend constexpr std::partial_ordering operator<=>(SoftExtended a,
                                                                            SoftExtended b) {
    const soft::Comparison result = soft::compare(a.bits_, b.bits_);
    check(result.flags);
    return result.order;
  }

  [[gnu::always_inline]] friend constexpr SoftExtended sqrt(SoftExtended x) {
    return fromBits(checked(soft::squareRoot(x.bits_)));
  }
  friend constexpr SoftExtended abs(SoftExtended x) { return fromBits(soft::absolute(x.bits_)); }

  // Truncation toward zero: the integral part as an extended value (exact), the rest (exact),
  // and the integral part as a 64-bit integer (invalid when it does not fit).
  [[gnu::always_inline]] friend constexpr SoftExtended intPart(SoftExtended x) {
    return fromBits(checked(soft::integerPart(x.bits_)));
  }
  [[gnu::always_inline]] friend constexpr SoftExtended fracPart(SoftExtended x) {
    return x - intPart(x);
  }
  [[gnu::always_inline]] friend constexpr std::int64_t truncToInteger(SoftExtended x) {
    const soft::IntegerResult result = soft::truncateToInt64(x.bits_);
    check(result.flags);
    return result.value;
  }

  // Classification, which raises nothing. Encodings the arithmetic refuses count as NaNs.
  friend constexpr bool isNaN(SoftExtended x) {
    return soft::isNaNOrUnsupported(soft::kindOf(x.bits_));
  }
  friend constexpr bool isInf(SoftExtended x) {
    return soft::kindOf(x.bits_) == soft::Kind::infinity;
  }
  friend constexpr bool signBit(SoftExtended x) { return soft::isNegative(x.bits_); }

 private:
  [[gnu::always_inline]] static constexpr void check(std::uint8_t flags) {
    if (flags != 0) [[unlikely]]
      signalExtendedFlags(flags);
  }
  [[gnu::always_inline]] static constexpr ExtendedBits checked(soft::Result result) {
    check(result.flags);
    return result.value;
  }

  ExtendedBits bits_{};
};

}  // namespace qv
