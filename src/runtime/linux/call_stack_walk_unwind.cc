// The call stack through libgcc's unwinder, which knows every processor's frames from the
// executable's unwind tables, where frame records are missing (s390x without a back chain) or
// laid out otherwise (riscv64, ppc64, 32-bit ARM). A frame reference is a back-trace taken at
// once: the return addresses of the active calls, innermost first, down to the main program's
// return into start-up.
#include <unwind.h>

#include "runtime/call_stack.h"
#include "runtime/linux/unwind_trace.h"
#include "runtime/startup.h"

namespace qv {
namespace {

// The lowest bit marks Thumb code on 32-bit ARM; a function starts at an even address anywhere.
std::uintptr_t codeStart(std::uintptr_t address) {
  return address & ~std::uintptr_t{1};
}

constexpr std::uintptr_t maxInstructionLength = 15;  // x86's longest

struct Capture {
  CapturedStack* stack;
  std::uintptr_t after;  // the frames up to the one at this address are skipped (0: none)
  bool faulting;         // the first frame taken is the one a signal interrupted
  bool taking;
};

// The walk never goes beyond start-up's frame: nothing of the program lies there.
_Unwind_Reason_Code takeFrame(_Unwind_Context* context, void* data) {
  auto& capture = *static_cast<Capture*>(data);
  int beforeInstruction = 0;
  const std::uintptr_t ip = _Unwind_GetIPInfo(context, &beforeInstruction);
  if (ip == 0) return _URC_END_OF_STACK;
  const bool startUp = codeStart(_Unwind_GetRegionStart(context)) ==
                       codeStart(reinterpret_cast<std::uintptr_t>(&startProgram));
  if (!capture.taking) {
    // The frame a signal interrupted says that its address is the instruction itself; where
    // the unwinder keeps the address after it (s390x, for an arithmetic fault), the kernel's
    // fault address, given as after, names the instruction just before.
    const bool interrupted = beforeInstruction != 0 || (capture.after != 0 && ip > capture.after &&
                                                        ip - capture.after <= maxInstructionLength);
    capture.taking = capture.faulting ? interrupted : codeStart(ip) == codeStart(capture.after);
    if (capture.faulting && capture.taking) {
      capture.stack->faultingInstruction = beforeInstruction != 0 ? ip : capture.after;
      capture.stack->faultingStack = _Unwind_GetCFA(context);
    }
    return startUp ? _URC_END_OF_STACK : _URC_NO_REASON;
  }
  CapturedStack& stack = *capture.stack;
  stack.returnAddresses[stack.count++] = reinterpret_cast<const void*>(ip);
  if (startUp || stack.count == CapturedStack::capacity) return _URC_END_OF_STACK;
  return _URC_NO_REASON;
}

CapturedStack callerStack;

}  // namespace

void captureStack(CapturedStack& stack, const void* after, bool faulting) {
  stack.count = 0;
  stack.faultingInstruction = 0;
  stack.faultingStack = 0;
  Capture capture{&stack, reinterpret_cast<std::uintptr_t>(after), faulting, false};
  _Unwind_Backtrace(takeFrame, &capture);
}

// Skips itself and its caller; the next frame is the failing statement's, whose return address
// starts the back-trace.
__attribute__((noinline)) const void* frameOfCallersCaller() {
  CapturedStack own;
  captureStack(own, __builtin_return_address(0), false);
  callerStack.count = 0;
  for (int i = 1; i < own.count; ++i) {
    callerStack.returnAddresses[callerStack.count++] = own.returnAddresses[i];
  }
  return &callerStack;
}

void walkCallStack(const void* frame, const void*, ReturnAddressVisitor visit, void* data) {
  if (frame == nullptr) return;
  const auto& stack = *static_cast<const CapturedStack*>(frame);
  for (int i = 0; i < stack.count && visit(stack.returnAddresses[i], data); ++i) {
  }
}

}  // namespace qv
