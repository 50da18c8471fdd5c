// The digits of real numbers as the program prints them. Expected texts are the exact output of
// the extended-precision digit algorithm, which on purpose is not always correctly rounded.
// (Every digit the methods print, and a wide sweep of these calls, is pinned by the same-output
// test.)
#include "arithmetic/format_real.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "arithmetic/soft_arithmetic.h"
#include "arithmetic/soft_conversions.h"

namespace qv {
namespace {

constexpr double phi = 0x1.9e3779b97f4a8p+0;  // the double nearest the golden ratio
const Extended inf = Extended::fromBits({std::uint64_t{1} << 63, 0x7FFF});
const Extended nan = Extended::fromBits({std::uint64_t{3} << 62, 0x7FFF});

// typeCode 1, 15 decimals, width 0: how every number of the program is written; then other
// widths, decimals and the exponent form.
TEST(FormatRealTest, WidthsDecimalsAndForms) {
  // clang-format off
  struct Call { Extended value; int width, decimals; std::string text; };
  const Call calls[] = {
      // 5/3, phi, -0; the largest double below 1; an exact tie 1 + 2^-16.
      {0x1.aaaaaaaaaaaabp+0, 0, 15, "1.666666666666667"},
      {phi, 0, 15, "1.618033988749895"}, {-0.0, 0, 15, "-0.000000000000000"},
      {0x1.fffffffffffffp-1, 0, 15, "1.000000000000000"},
      {1.0 + 0x1p-16, 0, 15, "1.000015258789063"},
      // Below one tenth each leading zero takes one digit of the budget: 9e-16 rounds up into the
      // carry place.
      {0x1.036847569cd7ap-50, 0, 15, "0.000000000000001"},
      // Two or more integer digits give 16 significant digits, then zeros: 75.34479684278351; 19
      // digits round at the 16th; 37 digits switch to the exponent form.
      {0x1.2d61126c6e13bp+6, 0, 15, "75.344796842783510"},
      {0x1.12210f47de981p+60, 0, 15, "1234567890123457000.000000000000000"},
      {-1.5e36, 0, 15, "-1.500000000000000E+036"},
      {phi, noWidth, -1, " 1.618033988749895E+000"}, {phi, 12, -1, " 1.6180E+000"},
      {9.96, 9, -1, " 1.0E+001"},  // the rounding carry moves the exponent
      {Extended::decimal("1e-1000"), noWidth, -1, " 1.000000000000000E-1000"},
      // Decimal text keeps the scale of the digits it drops beyond the hundredth.
      {Extended::decimal("1" + std::string(105, '0')), noWidth, -1, " 1.000000000000000E+105"},
      {phi, 20, 15, "   1.618033988749895"}, {phi, 0, 20, "1.6180339887498950"},
      {2.5, 0, 0, "3"}, {-0.4, 0, 0, "-0"}, {-inf, 0, 15, "-Inf"}, {nan, 8, 15, "     NaN"},
  };
  // clang-format on
  for (const Call& c : calls) {
    String255 text;
    formatReal(c.width, c.decimals, c.value, 1, text, 255);
    EXPECT_EQ(text.view(), c.text) << std::hexfloat << static_cast<double>(c.value) << " width "
                                   << c.width << " decimals " << c.decimals;
  }
}

// Half a unit in the fifteenth decimal is 0.5 divided by ten fifteen times, each division
// rounded: 4.99999999999999999948...e-16, a unit in the last place below the extended value
// nearest 5e-16. Ties and near ties are decided by it.
TEST(FormatRealTest, RoundingHalfOfFifteenDecimals) {
  EXPECT_EQ(roundingHalf(15), Extended::decimal("4.99999999999999999948e-16"));
}

// Truncated to a 64-bit integer, exactly -2^63 fits; the rest of the arithmetic is checked
// against the x87 by the fuzz target and in every digit of the same-output test.
TEST(SoftExtendedTest, TheMostNegativeIntegerTruncatesExactly) {
  const soft::IntegerResult truncated = soft::truncateToInt64({std::uint64_t{1} << 63, 0xC03E});
  EXPECT_EQ(truncated.value, INT64_MIN);
  EXPECT_EQ(truncated.flags, 0u);
}

// A division's quotient digits are estimated from the divisor's top half and corrected when
// that was too much: against the full 128-bit division, on divisors of every shape.
TEST(SoftExtendedTest, WideDivisionGivesTheQuotientAndRemainderOfTheFullOne) {
  std::uint64_t seed = 88172645463325252u;
  const auto next = [&seed] { return seed ^= seed << 13, seed ^= seed >> 7, seed ^= seed << 17; };
  for (int i = 0; i < 10000; ++i) {
    const std::uint64_t divisor = (next() >> (i % 64)) | (std::uint64_t{1} << 63);
    const std::uint64_t high = next() % divisor, low = next();
    const soft::Wide dividend = (soft::Wide{high} << 64) | soft::Wide{low};
    std::uint64_t remainder = 0;
    ASSERT_EQ(soft::divideWide(high, low, divisor, remainder), soft::low(dividend / divisor));
    ASSERT_EQ(remainder, soft::low(dividend - soft::Wide{soft::low(dividend / divisor)} * divisor));
  }
}

}  // namespace
}  // namespace qv
