// What the convergence model adds to a run: method a for n steps with neither text nor model
// (the steps alone), with each iterate's text made as a command run makes it (the channel's
// writes left out), the same with the model watching, and the picture's own run, which watches
// and makes no text. The model's cost against the text's: (model - bare) / (text - bare).
#include <benchmark/benchmark.h>

#include "channels/text_channel.h"
#include "methods/methods.h"
#include "picture/convergence.h"
#include "picture/watch.h"
#include "program_mode.h"

namespace qv {
namespace {

std::int32_t discard(TextChannel& channel) {
  channel.bufferPosition = 0;
  return 0;
}

enum Run { bare, textOnly, textAndModel, modelOnly };

void runMethodA(benchmark::State& state, Run run) {
  const bench::ProgramFloatingPointMode mode;
  const auto n = static_cast<std::int32_t>(state.range(0));
  openFileChannel(standardOutput, modeOutput, noHandle);
  standardOutput.transferHook = discard;
  standardOutput.flushHook = discard;
  for (auto _ : state) {
    picture::ConvergenceSeries series('a', n);
    methodOutput::iterateSink = [](std::int32_t, std::string_view text) {
      benchmark::DoNotOptimize(text.data());
    };
    if (run == modelOnly || run == bare) methodOutput::iterateSink = nullptr;
    if (run == textAndModel || run == modelOnly) picture::watchIterates(series);
    approximateByContinuedFraction(n);
    picture::stopWatching();
    benchmark::DoNotOptimize(series.columns().data());
  }
  resetMethodState();
  state.SetItemsProcessed(state.iterations() * n);
}

void bareRun(benchmark::State& state) {
  runMethodA(state, bare);
}
void textOnlyRun(benchmark::State& state) {
  runMethodA(state, textOnly);
}
void textAndModelRun(benchmark::State& state) {
  runMethodA(state, textAndModel);
}
void modelOnlyRun(benchmark::State& state) {
  runMethodA(state, modelOnly);
}

BENCHMARK(bareRun)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(textOnlyRun)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(textAndModelRun)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(modelOnlyRun)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qv

BENCHMARK_MAIN();
