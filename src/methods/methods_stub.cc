// Stub: replaced by the real methods.
#include "methods/methods.h"

namespace qv {
std::int32_t loopIndex = 0;
void approximateByContinuedFraction(std::int32_t) {}
void approximateByNestedRadicals(std::int32_t) {}
void approximateByFibonacci(std::int32_t) {}
}  // namespace qv
