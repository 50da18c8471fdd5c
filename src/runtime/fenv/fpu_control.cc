// A processor without code of its own here: its floating-point unit is set through the standard
// floating-point environment, to nearest with no exception flag raised and no trap enabled. The
// program's arithmetic is the Extended type in integers, which raises the errors that
// fpuControlSetting asks for itself; doubles outside it never trap, as on the x87 under the
// program's control word only the extended operations do.
#include <cfenv>

#include "runtime/fpu_control.h"

namespace qv {

void loadFpuControl() {
  std::fesetenv(FE_DFL_ENV);
  std::fesetround(FE_TONEAREST);
  std::feclearexcept(FE_ALL_EXCEPT);
}

}  // namespace qv
