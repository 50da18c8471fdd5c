// The loop counter shared by the three methods. Each method counts with it from its first index
// up to n and tests before it increments, so the counter never passes n and even
// n = 2147483647 cannot overflow it.
#include "methods/methods.h"

namespace qv {

std::int32_t loopIndex = 0;

void resetLoopIndex() {
  loopIndex = 0;
}

}  // namespace qv
