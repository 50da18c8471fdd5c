// The cost of writing one of the program's numbers: the conversion against the C library's
// correctly rounded one on the same doubles, and a whole output line through a channel.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

#include "arithmetic/format_real.h"
#include "channels/text_channel.h"
#include "program_mode.h"

namespace qv {
namespace {

// Every value the three methods print: 100 iterates of each recurrence, 59 Fibonacci ratios.
std::vector<double> methodValues() {
  std::vector<double> values;
  double x = 1.0;
  for (int i = 0; i < 100; ++i) {
    x = static_cast<double>(Extended{1} / Extended{x} + 1);
    values.push_back(x);
  }
  x = 0.0;
  for (int i = 0; i < 100; ++i) {
    x = static_cast<double>(sqrt(Extended{x} + 1));
    values.push_back(x);
  }
  std::int32_t before = 1, current = 1;
  for (int i = 2; i <= 60; ++i) {
    values.push_back(static_cast<double>(Extended{current} / Extended{before}));
    const auto next = static_cast<std::int32_t>(static_cast<std::uint32_t>(current) +
                                                static_cast<std::uint32_t>(before));
    before = current;
    current = next;
  }
  return values;
}

std::vector<double> randomValues() {
  std::mt19937_64 generator(20240611);
  std::uniform_real_distribution<double> distribution(0.1, 10.0);
  std::vector<double> values(4096);
  for (double& value : values) value = distribution(generator);
  return values;
}

const std::vector<double>& valueSet(std::int64_t which) {
  static const std::vector<double> method = methodValues();
  static const std::vector<double> random = randomValues();
  return which == 0 ? method : random;
}

void setLabel(benchmark::State& state) {
  state.SetLabel(state.range(0) == 0 ? "method values" : "random [0.1, 10)");
}

// One call per iteration, cycling through the value set, in the program's floating-point modes.
void BM_FormatReal(benchmark::State& state) {
  const std::vector<double>& values = valueSet(state.range(0));
  std::size_t next = 0;
  String255 text;
  bench::ProgramFloatingPointMode programMode;
  for (auto _ : state) {
    formatReal(0, 15, values[next], 1, text, String255::capacity);
    benchmark::DoNotOptimize(text);
    if (++next == values.size()) next = 0;
  }
  setLabel(state);
}
BENCHMARK(BM_FormatReal)->Arg(0)->Arg(1);

void BM_Snprintf(benchmark::State& state) {
  const std::vector<double>& values = valueSet(state.range(0));
  std::size_t next = 0;
  char text[64];
  for (auto _ : state) {
    std::snprintf(text, sizeof text, "%.15f", values[next]);
    benchmark::DoNotOptimize(text);
    if (++next == values.size()) next = 0;
  }
  setLabel(state);
}
BENCHMARK(BM_Snprintf)->Arg(0)->Arg(1);

std::int32_t discardBytes(TextChannel& channel) {
  benchmark::DoNotOptimize(channel.buffer);
  channel.bufferPosition = 0;
  return 0;
}

// One output line of the methods: writeReal, writeLineEnd, the flush hook at the line end.
void BM_WriteRealLine(benchmark::State& state) {
  const std::vector<double>& values = valueSet(state.range(0));
  static TextChannel channel;
  initChannel(channel, {});
  channel.mode = modeOutput;
  channel.transferHook = discardBytes;
  channel.flushHook = discardBytes;
  std::size_t next = 0;
  for (auto _ : state) {
    writeReal(1, 15, 0, channel, values[next]);
    writeLineEnd(channel);
    if (++next == values.size()) next = 0;
  }
  setLabel(state);
}
BENCHMARK(BM_WriteRealLine)->Arg(0)->Arg(1);

}  // namespace
}  // namespace qv

BENCHMARK_MAIN();
