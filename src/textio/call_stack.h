// The frame-pointer chain of the program's stack, as the run-time error report walks it. The
// walk never leaves the stretch of stack between the failing code and start-up's own frame, so
// a corrupt or foreign frame pointer ends it instead of reading arbitrary memory.
#pragma once

namespace qv {

// What a frame pointer points at on x86-64 with frame pointers kept.
struct StackFrame {
  const StackFrame* caller;
  const void* returnAddress;
};

// Start-up's own frame: the walk stops there, so the last line is the main program's return
// into start-up.
void recordOutermostFrame(const void* frame);
const void* outermostFrame();

// The lowest address of the stack in use where the failure happened. Set when the report is
// written from another stack (after a stack overflow); absent, the walker's own frame is used.
void setWalkFloor(const void* floor);
const void* walkFloor();

// The frame at that address if it lies on the stack strictly above previous and floor and
// strictly below the outermost frame; nullptr otherwise, which ends the walk.
const StackFrame* frameOnStack(const void* frame, const void* previous, const void* floor);

// The frame of the function that called the one owning this frame.
inline const void* callerFrameOf(const void* frame) {
  return static_cast<const StackFrame*>(frame)->caller;
}

void resetCallStack();

}  // namespace qv
