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
inline Extended intPart(Extended value) { return __builtin_truncl(value); }
inline Extended fracPart(Extended value) { return value - __builtin_truncl(value); }
inline std::int64_t truncToInteger(Extended value) { return static_cast<std::int64_t>(value); }

}  // namespace qv
