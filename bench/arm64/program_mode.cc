#include "program_mode.h"

#include "runtime/arm64/fpu_state.h"

namespace qv::bench {

ProgramFloatingPointMode::ProgramFloatingPointMode()
    : savedControl_(currentFpcr()), savedStatus_(currentFpsr()) {
  loadFpuControl();
}

ProgramFloatingPointMode::~ProgramFloatingPointMode() {
  const std::uint64_t control = savedControl_, status = savedStatus_;
  asm volatile("msr fpcr, %0\n\tmsr fpsr, %1" : : "r"(control), "r"(status) : "memory");
}

}  // namespace qv::bench
