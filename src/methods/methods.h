// The three approximations of phi. Each writes every iterate on a line of its own to
// standardOutput, then an empty line and, in light red, "phi~= " with the last iterate.
#pragma once

#include <cstdint>

#include "arithmetic/extended.h"
#include "arithmetic/format_real.h"
#include "channels/text_channel.h"
#include "console/console_state.h"
#include "methods/method_texts.h"
#include "runtime/run_error.h"

namespace qv {

// The one loop counter that all three methods share.
extern std::int32_t loopIndex;

void approximateByContinuedFraction(std::int32_t n);
void approximateByNestedRadicals(std::int32_t n);
void approximateByFibonacci(std::int32_t n);
// The same lines without the pause before the ratios (and without its line), for a run that
// nobody watches: nothing is read.
void approximateByFibonacciWithoutPause(std::int32_t n);

// Puts loopIndex back to its start value of 0 (for tests).
void resetLoopIndex();

// The statements the methods share. They are forced inline so that each statement stays in
// the frame of the method that runs it: a run-time error report then names the method's own
// return point into the menu loop, with no helper frame in between.
namespace methodOutput {

// Every real is written with 15 decimals, fixed notation, no field width.
inline constexpr std::int32_t doubleTypeCode = 1;
inline constexpr std::int32_t shownDecimals = 15;

// One iterate on a line of its own.
[[gnu::always_inline]] inline void writeIterate(double x) {
  writeReal(doubleTypeCode, shownDecimals, 0, standardOutput, Extended{x});
  writeLineEnd(standardOutput);
  checkIo();
}

// An empty line, then "phi~= " and the last value in light red; light red stays current.
[[gnu::always_inline]] inline void writeClosing(double x) {
  writeLineEnd(standardOutput);
  checkIo();
  setTextColor(dialogue::lightRed);
  writeString(0, standardOutput, dialogue::resultLabel);
  writeReal(doubleTypeCode, shownDecimals, 0, standardOutput, Extended{x});
  writeLineEnd(standardOutput);
  checkIo();
}

}  // namespace methodOutput
}  // namespace qv
