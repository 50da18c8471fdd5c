// The model's distances from phi against MPFR at 256 bits, for iterates of each method: the
// approach, the iterates exact to the double, and the Fibonacci ratios past the 32-bit wrap. (What
// the model reads from a run, where each method becomes exact, where c wraps and the rates, the
// pictures show in the end-to-end tests.)
// (A build without MPFR, the Windows cross build, leaves this to the others.)
#if __has_include(<mpfr.h>)
#include <gtest/gtest.h>
#include <mpfr.h>

#include <cmath>
#include <map>

#include "channels/text_channel.h"
#include "methods/methods.h"
#include "picture/convergence.h"

namespace qv {
namespace {

std::int32_t discard(TextChannel& channel) {
  channel.bufferPosition = 0;
  return 0;
}

// Every iterate of a run of method up to n, by step.
using Iterates = std::map<std::int32_t, double>;
Iterates* recording = nullptr;

Iterates runMethod(char method, std::int32_t n) {
  resetMethodState();
  openFileChannel(standardOutput, modeOutput, noHandle);
  standardOutput.transferHook = discard;
  standardOutput.flushHook = discard;
  Iterates iterates;
  recording = &iterates;
  methodOutput::iterateSink = [](std::int32_t, std::string_view) {};
  methodOutput::iterateWatcher = [](std::int32_t step, double x) { (*recording)[step] = x; };
  if (method == 'a') approximateByContinuedFraction(n);
  if (method == 'b') approximateByNestedRadicals(n);
  if (method == 'c') approximateByFibonacciWithoutPause(n);
  resetMethodState();
  return iterates;
}

double mpfrDistance(double x) {
  mpfr_t phi, d;
  mpfr_inits2(256, phi, d, static_cast<mpfr_ptr>(nullptr));
  mpfr_sqrt_ui(phi, 5, MPFR_RNDN);
  mpfr_add_ui(phi, phi, 1, MPFR_RNDN);
  mpfr_div_ui(phi, phi, 2, MPFR_RNDN);
  mpfr_set_d(d, x, MPFR_RNDN);
  mpfr_sub(d, d, phi, MPFR_RNDN);
  mpfr_abs(d, d, MPFR_RNDN);
  const double distance = mpfr_get_d(d, MPFR_RNDN);
  mpfr_clears(phi, d, static_cast<mpfr_ptr>(nullptr));
  return distance;
}

TEST(Convergence, DistancesAgreeWithMpfr) {
  // The approach, exact to the double, and c past its wrap (step 47 on).
  const std::pair<char, std::int32_t> cases[] = {{'a', 1},  {'a', 39}, {'b', 14},
                                                 {'b', 33}, {'c', 46}, {'c', 60}};
  std::map<char, Iterates> runs;
  for (char method : {'a', 'b', 'c'}) runs.emplace(method, runMethod(method, 60));
  for (const auto& [method, step] : cases) {
    SCOPED_TRACE(std::string(1, method) + " at step " + std::to_string(step));
    const double x = runs.at(method).at(step);
    const double expected = mpfrDistance(x);
    // phi to 64 bits is off by at most 2^-64; the distances are at least 5.4e-17.
    EXPECT_NEAR(picture::distanceFromPhi(x), expected, 6e-20 + expected * 1e-15);
    const double decimals = std::clamp(-std::log10(expected), 0.0, picture::exactDecimals());
    EXPECT_NEAR(picture::correctDecimals(picture::distanceFromPhi(x)), decimals, 1e-3);
  }
  EXPECT_NEAR(picture::exactDecimals(), -std::log10(mpfrDistance(runs.at('a').at(39))), 1e-3);
}

}  // namespace
}  // namespace qv
#endif
