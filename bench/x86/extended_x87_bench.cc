// The x87's side of the per-operation figures, in the program's floating-point modes: with its
// control word (exceptions unmasked) some instructions cost more than in the default modes.
#include "arithmetic/x86/x87_extended.h"
#include "extended_bench.h"
#include "program_mode.h"

namespace qv::bench {
namespace {

template <void (*Benchmark)(benchmark::State&)>
void inProgramMode(benchmark::State& state) {
  ProgramFloatingPointMode programMode;
  Benchmark(state);
}

BENCHMARK(inProgramMode<BM_Add<X87Extended>>)->Name("BM_Add<X87Extended>");
BENCHMARK(inProgramMode<BM_Multiply<X87Extended>>)->Name("BM_Multiply<X87Extended>");
BENCHMARK(inProgramMode<BM_Divide<X87Extended>>)->Name("BM_Divide<X87Extended>");
BENCHMARK(inProgramMode<BM_SquareRoot<X87Extended>>)->Name("BM_SquareRoot<X87Extended>");
BENCHMARK(inProgramMode<BM_MethodAStep<X87Extended>>)->Name("BM_MethodAStep<X87Extended>");
BENCHMARK(inProgramMode<BM_MethodBStep<X87Extended>>)->Name("BM_MethodBStep<X87Extended>");

}  // namespace
}  // namespace qv::bench
