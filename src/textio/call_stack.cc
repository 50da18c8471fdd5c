#include "textio/call_stack.h"

#include <cstdint>

namespace qv {
namespace {

const void* outermost = nullptr;
const void* floorOfWalk = nullptr;

std::uintptr_t addressOf(const void* p) {
  return reinterpret_cast<std::uintptr_t>(p);
}

}  // namespace

void recordOutermostFrame(const void* frame) {
  outermost = frame;
}
const void* outermostFrame() {
  return outermost;
}
void setWalkFloor(const void* floor) {
  floorOfWalk = floor;
}
const void* walkFloor() {
  return floorOfWalk;
}

const StackFrame* frameOnStack(const void* frame, const void* previous, const void* floor) {
  const std::uintptr_t at = addressOf(frame);
  if (outermost == nullptr || at % alignof(StackFrame) != 0) return nullptr;
  if (at < addressOf(floor) || at >= addressOf(outermost)) return nullptr;
  if (previous != nullptr && at <= addressOf(previous)) return nullptr;
  return static_cast<const StackFrame*>(frame);
}

void resetCallStack() {
  outermost = nullptr;
  floorOfWalk = nullptr;
}

}  // namespace qv
