#include "runtime/x86/fpu_state.h"

namespace qv {

// A 32-bit PC need not have SSE, and its doubles are computed on the x87: the control word
// is the whole mode there.
void loadFpuControl() {
  const std::uint16_t control = fpuControlSetting;
  asm volatile(
      "fninit\n\t"
      "fldcw %0"
      :
      : "m"(control)
      : "memory");
#ifdef __x86_64__
  const std::uint32_t mxcsr = mxcsrSetting;
  asm volatile("ldmxcsr %0" : : "m"(mxcsr) : "memory");
#endif
}

std::uint16_t currentFpuControl() {
  std::uint16_t control = 0;
  asm volatile("fnstcw %0" : "=m"(control));
  return control;
}

std::uint16_t currentFpuStatus() {
  std::uint16_t status = 0;
  asm volatile("fnstsw %0" : "=m"(status));
  return status;
}

std::uint32_t currentMxcsr() {
  std::uint32_t mxcsr = 0;
#ifdef __x86_64__
  asm volatile("stmxcsr %0" : "=m"(mxcsr));
#endif
  return mxcsr;
}

}  // namespace qv
