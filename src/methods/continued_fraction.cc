// Method a: the continued fraction 1 + 1/(1 + 1/(1 + ...)), evaluated from the inside out.
#include <cstdint>

#include "arithmetic/extended.h"
#include "methods/methods.h"

namespace qv {

namespace {

// The quotient and the sum stay in the extended format and are rounded to double only when
// stored: plain double arithmetic prints other digits from the 18th iterate on.
double nextConvergent(double x) {
  return static_cast<double>(Extended{1} / Extended{x} + 1);
}

}  // namespace

void approximateByContinuedFraction(std::int32_t n) {
  double x = 1.0;  // every iterate is at least 1, so the division never meets zero
  countLoop(1, n, [&x]() QV_INLINE_STEP {
    x = nextConvergent(x);
    methodOutput::writeIterate(x);
  });
  methodOutput::writeClosing(x);
}

}  // namespace qv
