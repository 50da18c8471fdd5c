// The three approximations of phi. Each hands every iterate to the iterate sink (by default a
// line of its own on standardOutput), then writes an empty line and, in light red, "phi~= "
// with the last iterate.
#pragma once

#include <cstdint>
#include <string_view>

#include "arithmetic/extended.h"
#include "arithmetic/format_real.h"
#include "channels/text_channel.h"
#include "console/console_state.h"
#include "methods/method_texts.h"
#include "runtime/run_error.h"

namespace qv {

// The one loop counter that all three methods share.
extern std::int32_t loopIndex;

// A step of countLoop is a lambda marked with this, so that its statements stay in the method's
// own frame too.
#define QV_INLINE_STEP __attribute__((always_inline))

// Runs step with loopIndex = first, first + 1, ..., n, and not at all when n is below first.
// The test comes before the increment, so loopIndex never passes n and even n = 2147483647
// cannot overflow it. Forced inline, like the statements below.
template <class Step>
[[gnu::always_inline]] inline void countLoop(std::int32_t first, std::int32_t n, Step step) {
  loopIndex = first;
  if (loopIndex > n) return;
  for (;; ++loopIndex) {
    step();
    if (loopIndex >= n) break;
  }
}

void approximateByContinuedFraction(std::int32_t n);
void approximateByNestedRadicals(std::int32_t n);
void approximateByFibonacci(std::int32_t n);
// The same lines without the pause before the ratios (and without its line), for a run that
// nobody watches: nothing is read.
void approximateByFibonacciWithoutPause(std::int32_t n);
// Only the ratios and the closing line: rows for --csv, which the listing of the elements
// would only delay (it is no row).
void approximateByFibonacciRatios(std::int32_t n);

// Puts loopIndex back to 0 and the iterates back on their lines (for tests).
void resetMethodState();

// The statements the methods share. They are forced inline so that each statement stays in
// the frame of the method that runs it: a run-time error report then names the method's own
// return point into the menu loop, with no helper frame in between.
namespace methodOutput {

// Every real is written with 15 decimals, fixed notation, no field width.
inline constexpr std::int32_t shownDecimals = 15;

// Where the iterates go, each as its index (loopIndex) and its text: the lines of the dialogue
// (writeIterateLine, one iterate a line on standardOutput) unless another sink is set, such as
// the rows of a --csv run.
// nullptr: nobody reads the text, and it is not made (a run that only draws a picture).
// A sink only writes: writeIterate ends the statement with its checkIo.
using IterateSink = void (*)(std::int32_t index, std::string_view text);
extern IterateSink iterateSink;
void writeIterateLine(std::int32_t index, std::string_view text);

// Who else sees every iterate, as the double the method stored (the convergence picture), with
// its text when a sink has one made (else empty); nullptr: nobody.
using IterateWatcher = void (*)(std::int32_t index, double value, std::string_view text);
extern IterateWatcher iterateWatcher;

// The text of an iterate, shownDecimals decimals, valid until the next call. A method that has
// settled writes the same iterate for the rest of its run: that text is made once.
std::string_view iterateText(double x);

[[gnu::always_inline]] inline void writeIterate(double x) {
  if (iterateSink == nullptr) {
    if (iterateWatcher != nullptr) iterateWatcher(loopIndex, x, {});
    return;
  }
  const std::string_view text = iterateText(x);
  if (iterateWatcher != nullptr) iterateWatcher(loopIndex, x, text);
  iterateSink(loopIndex, text);
  checkIo();  // here, so that a failed write is reported at the method's own statement
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
