// The program's own truncation must agree with the C library's on every kind of value.
#include "textio/extended.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace qv {
namespace {

void expectSameAsTruncl(Extended v) {
  const Extended expected = truncl(v);
  const Extended got = intPart(v);
  ASSERT_TRUE(got == expected || (std::isnan(got) && std::isnan(expected))) << double(v);
  ASSERT_EQ(std::signbit(got), std::signbit(expected)) << double(v);
  if (std::isfinite(v)) {
    ASSERT_EQ(fracPart(v), v - expected) << double(v);
  }
  if (std::fabs(expected) < 9e18L) {
    ASSERT_EQ(truncToInteger(v), static_cast<std::int64_t>(expected)) << double(v);
  }
}

TEST(ExtendedTest, TruncationAgreesWithTheLibraryEverywhere) {
  const Extended twoTo63 = 9223372036854775808.0L;
  for (Extended v : {0.0L,        -0.0L,
                     0.5L,        -0.5L,
                     1.0L,        0.9999999999999999999L,
                     1.5L,        2.5L,
                     -2.5L,       9.99999999999999999L,
                     1e18L,       twoTo63 - 0.5L,
                     twoTo63 - 1, twoTo63,
                     twoTo63 + 2, 1e30L,
                     -1e30L,      HUGE_VALL,
                     -HUGE_VALL,  std::numeric_limits<Extended>::quiet_NaN(),
                     1e-4000L}) {
    expectSameAsTruncl(v);
    expectSameAsTruncl(std::nextafterl(v, 0));
    expectSameAsTruncl(std::nextafterl(v, HUGE_VALL));
  }
  std::mt19937_64 random(20261206);
  std::uniform_real_distribution<double> exponent(-70, 70);
  for (int i = 0; i < 100000; ++i) {
    const Extended v = std::exp2l(exponent(random)) * ((random() & 1) ? 1 : -1);
    expectSameAsTruncl(v);
  }
}

}  // namespace
}  // namespace qv
