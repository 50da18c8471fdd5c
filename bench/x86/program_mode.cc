#include "program_mode.h"

#include "runtime/x86/fpu_state.h"

namespace qv::bench {

// The x87's control word and the SSE unit's MXCSR, which holds both its control and its flags.
ProgramFloatingPointMode::ProgramFloatingPointMode() {
  std::uint16_t control = 0;
  asm volatile("fnstcw %0\n\tstmxcsr %1" : "=m"(control), "=m"(savedStatus_));
  savedControl_ = control;
  asm volatile("fldcw %0\n\tldmxcsr %1" : : "m"(fpuControlSetting), "m"(mxcsrSetting));
}

ProgramFloatingPointMode::~ProgramFloatingPointMode() {
  const auto control = static_cast<std::uint16_t>(savedControl_);
  asm volatile("fldcw %0\n\tldmxcsr %1" : : "m"(control), "m"(savedStatus_));
}

}  // namespace qv::bench
