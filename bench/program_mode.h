// The program runs in its own floating-point modes (on x86 with the x87's and SSE's invalid,
// division and overflow exceptions unmasked), and some instructions cost differently in them:
// benchmarks measure in those modes and put the unit's own back afterwards. Each processor's
// registers are saved and restored by its own file (x86/program_mode.cc, arm64/program_mode.cc).
#pragma once

#include <cstdint>

namespace qv::bench {

class ProgramFloatingPointMode {
 public:
  ProgramFloatingPointMode();  // saves the unit's modes, then loads the program's
  ~ProgramFloatingPointMode();
  ProgramFloatingPointMode(const ProgramFloatingPointMode&) = delete;
  ProgramFloatingPointMode& operator=(const ProgramFloatingPointMode&) = delete;

 private:
  std::uint32_t savedControl_ = 0;  // the x87's control word; the FPCR
  std::uint32_t savedStatus_ = 0;   // MXCSR (the SSE unit's control and flags); the FPSR
};

}  // namespace qv::bench
