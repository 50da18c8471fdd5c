// The active calls of the program's stack, as the run-time error report walks them. The walk
// never leaves the stretch of stack between the failing code and start-up's own frame, so a
// corrupt or foreign frame ends it instead of reading arbitrary memory.
//
// A frame is what the platform needs to find a procedure's caller: a frame record (frame
// pointer and return address) on Linux, a register context unwound through the executable's
// unwind tables on Windows (linux/call_stack_walk.cc, win/call_stack_walk.cc).
#pragma once

namespace qv {

// Start-up's own frame: the walk stops there, so the last line is the main program's return
// into start-up.
void recordOutermostFrame(const void* frame);
const void* outermostFrame();

// The lowest address of the stack in use where the failure happened. Set when the report is
// written from another stack (after a stack overflow); absent, the walker's own frame is used.
void setWalkFloor(const void* floor);
const void* walkFloor();

// The frame of the procedure that called this function's caller: where the back-trace of a
// failing statement starts (checkIo and runError call it). Valid until the next call.
[[gnu::noinline]] const void* frameOfCallersCaller();

// Calls visit with the return address of the procedure that owns frame, then of each of its
// callers in turn, until visit returns false or the walk reaches start-up's frame. A return
// address may be nullptr (a frame that says nothing about its caller).
using ReturnAddressVisitor = bool (*)(const void* returnAddress, void* data);
void walkCallStack(const void* frame, const void* floor, ReturnAddressVisitor visit, void* data);

void resetCallStack();

}  // namespace qv
