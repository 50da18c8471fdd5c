// The x87's side of the per-operation figures, in the program's floating-point modes: with its
// control word (exceptions unmasked) some instructions cost more than in the default modes.
#include <cstdint>

#include "extended_bench.h"
#include "textio/x86/fpu_state.h"
#include "textio/x86/x87_extended.h"

namespace qv::bench {
namespace {

template <void (*Benchmark)(benchmark::State&)>
void inProgramMode(benchmark::State& state) {
  std::uint16_t savedControl = 0;
  std::uint32_t savedMxcsr = 0;
  asm volatile("fnstcw %0\n\tstmxcsr %1" : "=m"(savedControl), "=m"(savedMxcsr));
  asm volatile("fldcw %0\n\tldmxcsr %1" : : "m"(fpuControlSetting), "m"(mxcsrSetting));
  Benchmark(state);
  asm volatile("fldcw %0\n\tldmxcsr %1" : : "m"(savedControl), "m"(savedMxcsr));
}

BENCHMARK(inProgramMode<BM_Add<X87Extended>>)->Name("BM_Add<X87Extended>");
BENCHMARK(inProgramMode<BM_Multiply<X87Extended>>)->Name("BM_Multiply<X87Extended>");
BENCHMARK(inProgramMode<BM_Divide<X87Extended>>)->Name("BM_Divide<X87Extended>");
BENCHMARK(inProgramMode<BM_SquareRoot<X87Extended>>)->Name("BM_SquareRoot<X87Extended>");
BENCHMARK(inProgramMode<BM_MethodAStep<X87Extended>>)->Name("BM_MethodAStep<X87Extended>");
BENCHMARK(inProgramMode<BM_MethodBStep<X87Extended>>)->Name("BM_MethodBStep<X87Extended>");

}  // namespace
}  // namespace qv::bench
