// Method b: the nested radical sqrt(1 + sqrt(1 + sqrt(1 + ...))), evaluated from the inside out.
#include <cstdint>

#include "arithmetic/extended.h"
#include "methods/methods.h"

namespace qv {

namespace {

// The sum and the square root stay in the extended format and are rounded to double only when
// stored: plain double arithmetic prints another digit on the 31st line.
double nextRadical(double x) {
  return static_cast<double>(sqrt(Extended{x} + 1));
}

}  // namespace

void approximateByNestedRadicals(std::int32_t n) {
  double x = 0.0;  // every iterate is at least 1, so the root never meets a negative operand
  countLoop(1, n, [&x]() QV_INLINE_STEP {
    x = nextRadical(x);
    methodOutput::writeIterate(x);
  });
  methodOutput::writeClosing(x);
}

}  // namespace qv
