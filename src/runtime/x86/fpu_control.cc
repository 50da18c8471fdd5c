#include "runtime/x86/fpu_state.h"

namespace qv {

void loadFpuControl() {
  const std::uint16_t control = fpuControlSetting;
  const std::uint32_t mxcsr = mxcsrSetting;
  asm volatile(
      "fninit\n\t"
      "fldcw %0\n\t"
      "ldmxcsr %1"
      :
      : "m"(control), "m"(mxcsr)
      : "memory");
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
  asm volatile("stmxcsr %0" : "=m"(mxcsr));
  return mxcsr;
}

}  // namespace qv
