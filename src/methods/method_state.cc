// The state the three methods share: the loop counter (see countLoop) and where the iterates go.
#include "methods/methods.h"

namespace qv {

std::int32_t loopIndex = 0;

namespace methodOutput {

IterateSink iterateSink = writeIterateLine;
IterateWatcher iterateWatcher = nullptr;

void writeIterateLine(std::int32_t, std::string_view text) {
  writeString(0, standardOutput, text);
  writeLineEnd(standardOutput);
}

}  // namespace methodOutput

void resetMethodState() {
  loopIndex = 0;
  methodOutput::iterateSink = methodOutput::writeIterateLine;
  methodOutput::iterateWatcher = nullptr;
}

}  // namespace qv
