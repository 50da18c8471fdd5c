#include "runtime/fpu_control.h"

namespace qv {
namespace {

// The x87's own start: every exception masked.
constexpr std::uint16_t maskedControl = 0x037F;

std::uint16_t softControl = maskedControl;

}  // namespace

void loadSoftFpuControl(std::uint16_t control) {
  softControl = control;
}

std::uint16_t softFpuControl() {
  return softControl;
}

}  // namespace qv
