// The program's mode on aarch64, in the floating-point control register (FPCR): round to
// nearest, no flush of subnormals to zero, NaNs propagated rather than replaced by the default
// one, and no exception trap enabled: the cores generally cannot trap, so the software
// Extended arithmetic raises the errors that fpuControlSetting asks for itself. The status
// register (FPSR) starts with every cumulative exception flag clear.
#pragma once

#include <cstdint>

#include "runtime/fpu_control.h"

namespace qv {

// RMode (bits 22-23) 0 is to nearest; FZ (bit 24), DN (bit 25) and the trap enables clear.
inline constexpr std::uint32_t fpcrSetting = 0;

// loadFpuControl loads fpcrSetting and clears the FPSR. What the registers hold now:
std::uint32_t currentFpcr();
std::uint32_t currentFpsr();

}  // namespace qv
