#include <cstdint>

#include "runtime/linux/fault_call.h"

namespace qv {
extern "C" void qvFaultCall();
extern "C" [[noreturn]] void qvRaiseCalledFault(const void* returnAddress) {
  raiseCalledFault(returnAddress);
}
}  // namespace qv

// sendOnAsCall leaves the faulting code's lr in r12 and the address after the faulting
// instruction in lr. Both are pushed and the unwind entry pops them as lr and pc: the unwinder
// then sees the faulting function as the caller, with its lr as it was, which a function that
// saves none needs. ARM code, which every ARM processor Debian runs has.
asm(R"(
  .pushsection .text.qvFaultCall, "ax", %progbits
  .arm
  .align 2
  .globl qvFaultCall
  .type qvFaultCall, %function
qvFaultCall:
  .fnstart
  push {r12, lr}
  .unwind_raw 8, 0x8c, 0x00
  mov r0, lr
  bl qvRaiseCalledFault
  .fnend
  .size qvFaultCall, . - qvFaultCall
  .popsection
)"
#if defined(__thumb__)
    "  .thumb\n"
#endif
);

namespace qv {
namespace {

constexpr unsigned long thumbState = 1ul << 5;
constexpr unsigned long ifThenState = (0x3Ful << 10) | (0x3ul << 25);

}  // namespace

// The address after the faulting instruction keeps the Thumb mark of the code it is in, as any
// return address does; the unwinder looks the function up just before it.
void sendOnAsCall(ucontext_t& context) {
  auto& saved = context.uc_mcontext;
  const unsigned long thumb = (saved.arm_cpsr & thumbState) != 0 ? 1 : 0;
  saved.arm_ip = saved.arm_lr;
  saved.arm_lr = (saved.arm_pc + 2) | thumb;
  saved.arm_pc = reinterpret_cast<std::uintptr_t>(&qvFaultCall);
  saved.arm_cpsr &= ~(thumbState | ifThenState);
}

}  // namespace qv
