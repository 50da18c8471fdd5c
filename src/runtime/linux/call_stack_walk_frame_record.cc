// The call stack on Linux: with frame pointers kept, every frame starts with a record of the
// caller's frame pointer and the return address, and the records chain outwards.
#include <cstdint>

#include "runtime/call_stack.h"

namespace qv {
namespace {

// What a frame pointer points at on x86-64 and aarch64 with frame pointers kept.
struct StackFrame {
  const StackFrame* caller;
  const void* returnAddress;
};

std::uintptr_t addressOf(const void* p) {
  return reinterpret_cast<std::uintptr_t>(p);
}

// The frame at that address if it lies on the stack strictly above previous and floor and
// strictly below the outermost frame; nullptr otherwise, which ends the walk.
const StackFrame* frameOnStack(const void* frame, const void* previous, const void* floor) {
  const std::uintptr_t at = addressOf(frame);
  const void* outermost = outermostFrame();
  if (outermost == nullptr || at % alignof(StackFrame) != 0) return nullptr;
  if (at < addressOf(floor) || at >= addressOf(outermost)) return nullptr;
  if (previous != nullptr && at <= addressOf(previous)) return nullptr;
  return static_cast<const StackFrame*>(frame);
}

}  // namespace

const void* frameOfCallersCaller() {
  const auto* own = static_cast<const StackFrame*>(__builtin_frame_address(0));
  return own->caller->caller;
}

// Reads frame records that the sanitizers know nothing about; frameOnStack keeps every read
// on the live stack.
__attribute__((no_sanitize("address"))) void walkCallStack(const void* frame, const void* floor,
                                                           ReturnAddressVisitor visit, void* data) {
  const StackFrame* current = frameOnStack(frame, nullptr, floor);
  while (current != nullptr && visit(current->returnAddress, data)) {
    current = frameOnStack(current->caller, current, floor);
  }
}

}  // namespace qv
