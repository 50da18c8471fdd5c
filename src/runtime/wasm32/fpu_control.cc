// WebAssembly's floating point always rounds to nearest and never traps, and has no control
// word to load: the program's mode is the extended arithmetic in integers (fpuControlSetting).
#include "runtime/fpu_control.h"

namespace qv {

void loadFpuControl() {}

}  // namespace qv
