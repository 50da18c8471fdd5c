// The call stack on Windows: x86-64 code compiled for Windows keeps its frame pointer wherever
// the unwind data says, not beside the return address, so the walk unwinds one register context
// after the other through the executable's unwind tables, as the system's own exception
// dispatch does.
#include <windows.h>

#include <cstdint>

#include "runtime/call_stack.h"

namespace qv {
namespace {

CONTEXT statementContext;  // what frameOfCallersCaller hands out

// One call outwards: the context as it was just after the procedure's caller called it.
void unwindOnce(CONTEXT& context) {
  DWORD64 imageBase = 0;
  PRUNTIME_FUNCTION function = RtlLookupFunctionEntry(context.Rip, &imageBase, nullptr);
  if (function == nullptr) {
    // A leaf procedure without unwind data has not moved the stack: its return address is on top.
    context.Rip = *reinterpret_cast<const DWORD64*>(context.Rsp);
    context.Rsp += sizeof(DWORD64);
    return;
  }
  void* handlerData = nullptr;
  DWORD64 establisherFrame = 0;
  RtlVirtualUnwind(UNW_FLAG_NHANDLER, imageBase, context.Rip, function, &context, &handlerData,
                   &establisherFrame, nullptr);
}

}  // namespace

const void* frameOfCallersCaller() {
  RtlCaptureContext(&statementContext);  // inside this function
  unwindOnce(statementContext);          // inside its caller
  unwindOnce(statementContext);          // inside the caller's caller
  return &statementContext;
}

// Start-up's frame pointer lies inside its frame: its own context is still walked (the main
// program's return into it), the context of its caller no longer.
void walkCallStack(const void* frame, const void* floor, ReturnAddressVisitor visit, void* data) {
  const auto top = reinterpret_cast<DWORD64>(outermostFrame());
  if (frame == nullptr || top == 0) return;
  CONTEXT context = *static_cast<const CONTEXT*>(frame);
  DWORD64 previous = reinterpret_cast<DWORD64>(floor);
  if (context.Rsp < previous || context.Rsp > top) return;
  for (;;) {
    previous = context.Rsp;
    unwindOnce(context);
    if (context.Rsp <= previous || context.Rsp > top || context.Rip == 0) return;
    if (!visit(reinterpret_cast<const void*>(context.Rip), data)) return;
  }
}

}  // namespace qv
