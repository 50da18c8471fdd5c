// The digits of real numbers as the program prints them. Expected texts are the exact output of
// the extended-precision digit algorithm, which on purpose is not always correctly rounded.
// (Every digit the methods print, and a wide sweep of these calls, is pinned by the same-output
// test.)
#include "arithmetic/format_real.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>

namespace qv {
namespace {

constexpr double phi = 0x1.9e3779b97f4a8p+0;  // the double nearest the golden ratio
const Extended inf = Extended::fromBits({std::uint64_t{1} << 63, 0x7FFF});
const Extended nan = Extended::fromBits({std::uint64_t{3} << 62, 0x7FFF});
const Extended smallestDenormal = Extended::fromBits({1, 0});

std::string format(Extended value, int width, int decimals, int typeCode = 1, int capacity = 255) {
  String255 text;
  formatReal(width, decimals, value, typeCode, text, capacity);
  return std::string(text.view());
}

// typeCode 1, 15 decimals, width 0: how every number of the program is written.
TEST(FormatRealTest, ProgramPathGivesFifteenDecimalsFromSixteenDigits) {
  const std::string zeros15(15, '0');
  // clang-format off
  const std::pair<Extended, std::string> cases[] = {
      // 2, 1.5, 5/3, 1.6, the double below 1.6, 13/8, phi, 0, -phi, phi - 1, -0.
      {2.0, "2.000000000000000"}, {1.5, "1.500000000000000"},
      {0x1.aaaaaaaaaaaabp+0, "1.666666666666667"}, {0x1.999999999999ap+0, "1.600000000000000"},
      {0x1.9999999999999p+0, "1.600000000000000"}, {1.625, "1.625000000000000"},
      {phi, "1.618033988749895"}, {0.0, "0.000000000000000"}, {-phi, "-1.618033988749895"},
      {0x1.3c6ef372fe950p-1, "0.618033988749895"}, {-0.0, "-0.000000000000000"},
      // The largest double below 1; a near tie decided by the extended sum; exact ties
      // 1 + 2^-16 and 1 + 3 * 2^-16.
      {0x1.fffffffffffffp-1, "1.000000000000000"}, {0x1.1b3c136748a92p+0, "1.106385433879642"},
      {1.0 + 0x1p-16, "1.000015258789063"}, {1.0 + 0x3p-16, "1.000045776367187"},
      // Below one tenth each leading zero takes one digit of the budget: 0.09, 9e-16 (rounds up
      // into the carry place), 4e-16, 1e-20 (no budget left), the smallest extended, -1e-4000.
      {0x1.70a3d70a3d70ap-4, "0.090000000000000"}, {0x1.036847569cd7ap-50, "0.000000000000001"},
      {0x1.cd2b297d889bcp-52, "0.000000000000000"}, {0x1.79ca10c924223p-67, "0.000000000000000"},
      {smallestDenormal, "0.000000000000000"}, {Extended::decimal("-1e-4000"), "-0.000000000000000"},
      // Two or more integer digits give 16 significant digits, then zeros: 75.34479684278351,
      // 123.456, 12.5, 10; 17 and 18 digits drop the rest, 19 and more round at the 16th
      // (up at 7, not at 3, up at 5); 36 digits stay fixed, 37 switch to the exponent form.
      {0x1.2d61126c6e13bp+6, "75.344796842783510"}, {0x1.edd2f1a9fbe77p+6, "123.456000000000000"},
      {12.5, "12.500000000000000"}, {10.0, "10.000000000000000"},
      {12345678901234568.0, "12345678901234560." + zeros15},
      {123456789012345680.0, "123456789012345600." + zeros15},
      {0x1.12210f47de981p+60, "1234567890123457000." + zeros15},
      {1000000000000000384.0, "1000000000000000000." + zeros15},
      {12345678901234565120.0, "12345678901234570000." + zeros15},
      {1e35, "1" + std::string(35, '0') + "." + zeros15},
      {1.5e36, " 1.500000000000000E+036"}, {-1.5e36, "-1.500000000000000E+036"},
  };
  // clang-format on
  for (const auto& [value, text] : cases) {
    EXPECT_EQ(format(value, 0, 15), text) << std::hexfloat << static_cast<double>(value);
  }
}

TEST(FormatRealTest, OtherWidthsDecimalsAndForms) {
  // clang-format off
  struct Call { Extended value; int width, decimals; std::string text; };
  const Call calls[] = {
      {phi, noWidth, -1, " 1.618033988749895E+000"}, {phi, 0, -1, " 1.6E+000"},
      {phi, 12, -1, " 1.6180E+000"}, {phi, 50, -1, std::string(27, ' ') + " 1.618033988749895E+000"},
      {0.0, noWidth, -1, " 0.000000000000000E+000"}, {-phi, noWidth, -1, "-1.618033988749895E+000"},
      {0x1.3c6ef372fe950p-1, noWidth, -1, " 6.180339887498949E-001"},
      {-0.001234, noWidth, -1, "-1.234000000000000E-003"},
      {1e100, noWidth, -1, " 1.000000000000000E+100"},
      {Extended::decimal("1e-1000"), noWidth, -1, " 1.000000000000000E-1000"},
      {9.96, 9, -1, " 1.0E+001"},  // the rounding carry moves the exponent
      // Either side of 1 - 10^-15 in the extended format: a leading digit 0, or a fraction.
      {0x1.ffffffffffff7p-1, noWidth, -1, " 0.999999999999999E+000"},
      {0x1.ffffffffffff6p-1, noWidth, -1, " 9.999999999999989E-001"},
      {phi, 20, 15, "   1.618033988749895"}, {phi, 0, 20, "1.6180339887498950"},
      {phi, 0, 0, "2"}, {2.5, 0, 0, "3"}, {0.5, 0, 0, "1"}, {0.4, 0, 0, "0"}, {-0.4, 0, 0, "-0"},
      {9.5, 0, 0, "10"}, {-99.5, 0, 0, "-100"}, {0.96, 0, 1, "1.0"},
      {inf, 0, 15, "Inf"}, {-inf, 0, 15, "-Inf"}, {inf, noWidth, 15, std::string(20, ' ') + "Inf"},
      {nan, 8, 15, "     NaN"},
  };
  // clang-format on
  for (const Call& c : calls) {
    EXPECT_EQ(format(c.value, c.width, c.decimals), c.text)
        << static_cast<double>(c.value) << " width " << c.width << " decimals " << c.decimals;
  }
  // Between the minimum and the total width the exponent form fills the width exactly.
  for (Extended value : {phi, -phi, 0.0, 9.999999, 1e-9, -123456.789, 1e300}) {
    for (int width = 0; width <= 23; ++width) {
      EXPECT_EQ(format(value, width, -1).size(), width < 9 ? 9u : width)
          << static_cast<double>(value) << " width " << width;
    }
  }
}

// A type code outside the table falls back to the double's row instead of reading past it, and
// the text is cut to the destination's capacity.
TEST(FormatRealTest, TypeCodesAndCapacity) {
  EXPECT_EQ(format(phi, 0, 15, -1), "1.618033988749895");
  EXPECT_EQ(format(phi, 0, 15, 6), "1.618033988749895");

  EXPECT_EQ(format(phi, 20, 15, 1, 5), "   1.");
  EXPECT_EQ(format(phi, 0, 15, 1, -4), "");
  EXPECT_EQ(format(inf, 10, 0, 1, 8), "       I");
  EXPECT_EQ(format(phi, 300, 15), std::string(255, ' '));  // padding first: only blanks remain
  ShortString<4> small;
  formatReal(0, 15, phi, 1, small, 255);
  EXPECT_EQ(small.view(), "1.61");
}

// Half a unit in the fifteenth decimal is 0.5 divided by ten fifteen times, each division
// rounded: 4.99999999999999999948...e-16, a unit in the last place below the extended value
// nearest 5e-16. Ties and near ties are decided by it.
TEST(FormatRealTest, RoundingHalfOfFifteenDecimals) {
  EXPECT_EQ(roundingHalf(15), Extended::decimal("4.99999999999999999948e-16"));
}

}  // namespace
}  // namespace qv
