// The software implementation of the extended arithmetic, operation by operation; on x86-64 the
// x87's figures come beside it (x86/extended_x87_bench.cc).
#include "extended_bench.h"

#include "arithmetic/soft_extended.h"
#include "runtime/fpu_control.h"

namespace qv::bench {
namespace {

// With the program's control word, as start-up loads it.
int loadProgramControl() {
  loadSoftFpuControl(fpuControlSetting);
  return 0;
}
const int programControl = loadProgramControl();

BENCHMARK_TEMPLATE(BM_Add, SoftExtended);
BENCHMARK_TEMPLATE(BM_Multiply, SoftExtended);
BENCHMARK_TEMPLATE(BM_Divide, SoftExtended);
BENCHMARK_TEMPLATE(BM_SquareRoot, SoftExtended);
BENCHMARK_TEMPLATE(BM_MethodAStep, SoftExtended);
BENCHMARK_TEMPLATE(BM_MethodBStep, SoftExtended);

}  // namespace
}  // namespace qv::bench

BENCHMARK_MAIN();
