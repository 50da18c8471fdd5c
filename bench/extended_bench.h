// What one operation of the extended arithmetic costs, for each implementation: the four
// operations and the square root on operands of the program's magnitudes, and one step of
// methods a and b as the program computes them (in the extended format, stored as doubles).
#pragma once

#include <benchmark/benchmark.h>

#include <array>
#include <cstddef>
#include <random>

namespace qv::bench {

// Operands between 0.1 and 10, cycled through so that nothing is folded.
inline const std::array<double, 256>& operandValues() {
  static const std::array<double, 256> values = [] {
    std::array<double, 256> generated{};
    std::mt19937_64 random(20240611);
    std::uniform_real_distribution<double> distribution(0.1, 10.0);
    for (double& value : generated) value = distribution(random);
    return generated;
  }();
  return values;
}

template <typename Real, typename Operation>
void runBinary(benchmark::State& state, Operation operation) {
  const std::array<double, 256>& values = operandValues();
  std::array<Real, 256> operands;
  for (std::size_t i = 0; i < operands.size(); ++i) operands[i] = Real(values[i]);
  std::size_t next = 0;
  for (auto _ : state) {
    Real result = operation(operands[next], operands[(next + 1) & 255]);
    benchmark::DoNotOptimize(result);
    next = (next + 1) & 255;
  }
}

template <typename Real>
void BM_Add(benchmark::State& state) {
  runBinary<Real>(state, [](Real a, Real b) { return a + b; });
}
template <typename Real>
void BM_Multiply(benchmark::State& state) {
  runBinary<Real>(state, [](Real a, Real b) { return a * b; });
}
template <typename Real>
void BM_Divide(benchmark::State& state) {
  runBinary<Real>(state, [](Real a, Real b) { return a / b; });
}
template <typename Real>
void BM_SquareRoot(benchmark::State& state) {
  runBinary<Real>(state, [](Real a, Real) { return sqrt(a); });
}

// benchmark::DoNotOptimize on a double lets g++ 12 lose the value from one iteration to the
// next (through the register alternative of its operand); a memory operand alone keeps it.
inline void keep(double& x) {
  asm volatile("" : "+m"(x) : : "memory");
}

// x := 1/x + 1 and x := sqrt(x + 1), each iterate depending on the one before.
template <typename Real>
void BM_MethodAStep(benchmark::State& state) {
  double x = 1.0;
  for (auto _ : state) {
    x = static_cast<double>(Real(1) / Real(x) + 1);
    keep(x);
  }
}
template <typename Real>
void BM_MethodBStep(benchmark::State& state) {
  double x = 0.0;
  for (auto _ : state) {
    x = static_cast<double>(sqrt(Real(x) + 1));
    keep(x);
  }
}

}  // namespace qv::bench
