#include "runtime/arm64/fpu_state.h"

namespace qv {

void loadFpuControl() {
  const std::uint64_t control = fpcrSetting;
  const std::uint64_t clear = 0;
  asm volatile(
      "msr fpcr, %0\n\t"
      "msr fpsr, %1"
      :
      : "r"(control), "r"(clear)
      : "memory");
}

std::uint32_t currentFpcr() {
  std::uint64_t control = 0;
  asm volatile("mrs %0, fpcr" : "=r"(control));
  return static_cast<std::uint32_t>(control);
}

std::uint32_t currentFpsr() {
  std::uint64_t status = 0;
  asm volatile("mrs %0, fpsr" : "=r"(status));
  return static_cast<std::uint32_t>(status);
}

}  // namespace qv
