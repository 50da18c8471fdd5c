// The one real type of the program's arithmetic: the 80-bit extended format (64-bit significand,
// round to nearest, ties to even). Every printed digit depends on it, so the build refuses any
// other long double rather than print different digits.
#pragma once

#include <cstdint>
#include <limits>

namespace qv {

static_assert(std::numeric_limits<long double>::radix == 2 &&
                  std::numeric_limits<long double>::digits == 64 &&
                  std::numeric_limits<long double>::max_exponent == 16384,
              "quorvendalist needs long double to be the 80-bit extended format with a 64-bit "
              "significand (x86-64 or i386); on this target it is another format");

using Extended = long double;

// Truncation toward zero, exact in the extended format.
//
// The compiler's own truncation switches the x87 rounding mode twice around every frndint or
// fistp, and loading a control word with unmasked exceptions (the program's 0x1332) made a
// conversion ten times dearer on the machines we measured. So: round to nearest with the 2^63
// shift, which leaves an integer in the 64-bit significand, and step back by one where that
// rounded up. Every value from 2^63 on is an integer already.
namespace detail {
inline constexpr Extended twoTo63 = 9223372036854775808.0L;
inline constexpr Extended twoTo53 = 9007199254740992.0L;

inline Extended truncMagnitude(Extended magnitude) {               // magnitude >= 0, or -0
  if (!(magnitude < twoTo63) || magnitude == 0) return magnitude;  // integers, inf, NaN, -0
  const Extended nearest = (magnitude + twoTo63) - twoTo63;  // rounds to an integer, then exact
  // One when rounding went up; as a number, not a branch: digits make it unpredictable.
  const Extended back = static_cast<int>(nearest > magnitude);
  return nearest - back;
}
}  // namespace detail

// A comparison, not the sign bit: examining the sign bit on the x87 stack is slow.
inline Extended intPart(Extended value) {
  return value < 0 ? -detail::truncMagnitude(-value) : detail::truncMagnitude(value);
}
inline Extended fracPart(Extended value) {
  return value - intPart(value);
}
inline std::int64_t truncToInteger(Extended value) {
  const Extended whole = intPart(value);
  // Through double when it holds the integer exactly: that conversion needs no mode switch.
  if (whole < detail::twoTo53 && whole > -detail::twoTo53) {
    return static_cast<std::int64_t>(static_cast<double>(whole));
  }
  return static_cast<std::int64_t>(whole);
}

}  // namespace qv
