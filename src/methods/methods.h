// The three approximations of phi. Each writes every iterate on a line of its own to
// standardOutput, then an empty line and, in light red, "phi~= " with the last iterate.
#pragma once

#include <cstdint>

namespace qv {

// The one loop counter that all three methods share.
extern std::int32_t loopIndex;

void approximateByContinuedFraction(std::int32_t n);
void approximateByNestedRadicals(std::int32_t n);
void approximateByFibonacci(std::int32_t n);

}  // namespace qv
