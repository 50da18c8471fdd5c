#include "runtime/call_stack.h"

namespace qv {
namespace {

const void* outermost = nullptr;
const void* floorOfWalk = nullptr;

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

void resetCallStack() {
  outermost = nullptr;
  floorOfWalk = nullptr;
}

}  // namespace qv
