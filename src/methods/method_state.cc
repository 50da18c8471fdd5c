// The state the three methods share: the loop counter (see countLoop) and where the iterates go.
#include "arithmetic/bit_cast.h"
#include "methods/methods.h"

namespace qv {

std::int32_t loopIndex = 0;

namespace methodOutput {

IterateSink iterateSink = writeIterateLine;
IterateWatcher iterateWatcher = nullptr;

namespace {

// The last iterate written and its text; the same bits give the same text.
struct LastIterate {
  bool made = false;
  std::uint64_t bits = 0;
  String255 text;
};
LastIterate lastIterate;

}  // namespace

std::string_view iterateText(double x) {
  const auto bits = bitCast<std::uint64_t>(x);
  if (!lastIterate.made || bits != lastIterate.bits) {
    formatReal(0, shownDecimals, Extended{x}, doubleTypeCode, lastIterate.text,
               String255::capacity);
    lastIterate.made = true;
    lastIterate.bits = bits;
  }
  return lastIterate.text.view();
}

void writeIterateLine(std::int32_t, std::string_view text) {
  writeString(0, standardOutput, text);
  writeLineEnd(standardOutput);
}

}  // namespace methodOutput

void resetMethodState() {
  loopIndex = 0;
  methodOutput::iterateSink = methodOutput::writeIterateLine;
  methodOutput::iterateWatcher = nullptr;
  methodOutput::lastIterate = {};
}

}  // namespace qv
