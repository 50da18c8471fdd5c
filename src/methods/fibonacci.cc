// Method c: the Fibonacci sequence up to its n-th element, then the ratios of consecutive
// elements, which tend to phi.
//
// The elements are 32-bit two's complement values that wrap around on overflow (from the 47th
// on). Only the two newest elements are kept, and the ratio loop walks the sequence again from
// its start: any n the prompt accepts then runs in the same small memory, where a table of
// elements would either refuse large n or have to grow with it.
#include <cstdint>

#include "arithmetic/extended.h"
#include "channels/text_channel.h"
#include "channels/text_input.h"
#include "methods/method_texts.h"
#include "methods/methods.h"
#include "runtime/run_error.h"

namespace qv {

namespace {

// Two consecutive elements F(i-1) and F(i), starting at F(1) = F(2) = 1.
class FibonacciPair {
 public:
  std::int32_t previous() const { return static_cast<std::int32_t>(previous_); }
  std::int32_t current() const { return static_cast<std::int32_t>(current_); }

  // Moves on by one element; the sum wraps modulo 2 to the 32nd.
  void advance() {
    const std::uint32_t next = previous_ + current_;
    previous_ = current_;
    current_ = next;
  }

  // F(i) / F(i-1), the quotient of the exact elements rounded once in the extended format and
  // then to double. No element F(i) with i below 3 * 2^30 is 0 modulo 2^32, so for every index
  // a signed 32-bit n can reach the divisor is never zero.
  double ratio() const {
    const Extended dividend = current();
    const Extended divisor = previous();
    return static_cast<double>(dividend / divisor);
  }

 private:
  std::uint32_t previous_ = 1;
  std::uint32_t current_ = 1;
};

// Writes the header and the elements F(1) to F(max(n, 2)) on one line, each followed by the
// separator and shown at once, then an empty line.
[[gnu::always_inline]] inline void listElements(std::int32_t n) {
  writeString(0, standardOutput, dialogue::sequenceHeaderStart);
  writeInteger(0, standardOutput, n);
  writeString(0, standardOutput, dialogue::sequenceHeaderEnd);
  writeLineEnd(standardOutput);
  checkIo();

  FibonacciPair pair;
  writeInteger(0, standardOutput, pair.previous());
  writeString(0, standardOutput, dialogue::elementSeparator);
  writeInteger(0, standardOutput, pair.current());
  writeString(0, standardOutput, dialogue::elementSeparator);
  flushAfterWrite(standardOutput);
  checkIo();

  countLoop(3, n, [&pair]() QV_INLINE_STEP {
    pair.advance();
    writeInteger(0, standardOutput, pair.current());
    writeString(0, standardOutput, dialogue::elementSeparator);
    flushAfterWrite(standardOutput);
    checkIo();
  });
  writeLineEnd(standardOutput);
  checkIo();
  writeLineEnd(standardOutput);
  checkIo();
}

// Waits for Enter; whatever is typed on that line is dropped.
[[gnu::always_inline]] inline void pauseForEnter() {
  writeString(0, standardOutput, dialogue::ratioPause);
  flushAfterWrite(standardOutput);
  checkIo();
  readLineEnd(standardInput);
  checkIo();
  writeLineEnd(standardOutput);
  checkIo();
}

// The ratios F(i) / F(i-1) for i = 2 to n, then the closing line.
[[gnu::always_inline]] inline void writeRatios(std::int32_t n) {
  // F(2) / F(1): what the closing line shows when n is below 2 and no ratio is computed.
  double ratio = 1.0;
  FibonacciPair pair;
  countLoop(2, n, [&]() QV_INLINE_STEP {
    ratio = pair.ratio();
    methodOutput::writeIterate(ratio);
    pair.advance();
  });
  methodOutput::writeClosing(ratio);
}

}  // namespace

void approximateByFibonacci(std::int32_t n) {
  listElements(n);
  pauseForEnter();
  writeRatios(n);
}

void approximateByFibonacciWithoutPause(std::int32_t n) {
  listElements(n);
  writeRatios(n);
}

void approximateByFibonacciRatios(std::int32_t n) {
  writeRatios(n);
}

}  // namespace qv
