// The digits of real numbers as the program prints them. Expected texts are the exact output of
// the extended-precision digit algorithm, which on purpose is not always correctly rounded.
#include "textio/format_real.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace qv {
namespace {

constexpr double phi = 0x1.9e3779b97f4a8p+0;  // the double nearest the golden ratio

std::string format(Extended value, int width, int decimals, int typeCode = 1, int capacity = 255) {
  String255 text;
  formatReal(width, decimals, value, typeCode, text, capacity);
  return std::string(text.view());
}

std::string repeat(char c, int count) {
  return std::string(count, c);
}

struct Case {
  const char* what;
  Extended value;
  std::string text;
};

// typeCode 1, 15 decimals, width 0: how every number of the program is written.
TEST(FormatRealTest, ProgramPathGivesExactlyFifteenDecimals) {
  const Case cases[] = {
      {"2", 2.0, "2.000000000000000"},
      {"1.5", 1.5, "1.500000000000000"},
      {"5/3", 0x1.aaaaaaaaaaaabp+0, "1.666666666666667"},
      {"1.6", 0x1.999999999999ap+0, "1.600000000000000"},
      {"double below 1.6", 0x1.9999999999999p+0, "1.600000000000000"},
      {"13/8", 1.625, "1.625000000000000"},
      {"phi", phi, "1.618033988749895"},
      {"0", 0.0, "0.000000000000000"},
      {"-phi", -phi, "-1.618033988749895"},
      {"phi - 1", 0x1.3c6ef372fe950p-1, "0.618033988749895"},
      {"-0", -0.0, "-0.000000000000000"},
      {"largest double below 1", 0x1.fffffffffffffp-1, "1.000000000000000"},
      {"near tie decided by extended sum", 0x1.1b3c136748a92p+0, "1.106385433879642"},
      {"exact tie 1+2^-16", 1.0 + 0x1p-16, "1.000015258789063"},
      {"exact tie 1+3*2^-16", 1.0 + 0x3p-16, "1.000045776367187"},
  };
  for (const Case& c : cases) EXPECT_EQ(format(c.value, 0, 15), c.text) << c.what;
}

TEST(FormatRealTest, FractionsBelowOneTenthSpendTheBudgetOnLeadingZeros) {
  const Case cases[] = {
      {"0.09", 0x1.70a3d70a3d70ap-4, "0.090000000000000"},
      {"9e-16 rounds up into the carry place", 0x1.036847569cd7ap-50, "0.000000000000001"},
      {"4e-16 rounds down", 0x1.cd2b297d889bcp-52, "0.000000000000000"},
      {"1e-20 leaves no budget", 0x1.79ca10c924223p-67, "0.000000000000000"},
      // Far more leading zeros than the text can hold.
      {"1e-300", 1e-300, "0.000000000000000"},
      {"smallest extended", std::numeric_limits<Extended>::denorm_min(), "0.000000000000000"},
      {"-1e-4000", -1e-4000L, "-0.000000000000000"},
  };
  for (const Case& c : cases) EXPECT_EQ(format(c.value, 0, 15), c.text) << c.what;
}

TEST(FormatRealTest, IntegerPartsUseTheSixteenDigitBudget) {
  const Case cases[] = {
      {"75.34479684278351", 0x1.2d61126c6e13bp+6, "75.344796842783510"},
      {"123.456", 0x1.edd2f1a9fbe77p+6, "123.456000000000000"},
      {"12.5", 12.5, "12.500000000000000"},
      {"10", 10.0, "10.000000000000000"},
      {"17 digits drop the rest", 12345678901234568.0, "12345678901234560.000000000000000"},
      {"18 digits drop the rest", 123456789012345680.0, "123456789012345600.000000000000000"},
      {"19 digits round up at 7", 0x1.12210f47de981p+60, "1234567890123457000.000000000000000"},
      {"19 digits keep at 3", 1000000000000000384.0, "1000000000000000000.000000000000000"},
      {"20 digits round up at 5", 12345678901234565120.0, "12345678901234570000.000000000000000"},
      {"36 digits stay fixed", 1e35, "1" + repeat('0', 35) + "." + repeat('0', 15)},
      {"37 digits switch form", 1.5e36, " 1.500000000000000E+036"},
      {"-1.5e36", -1.5e36, "-1.500000000000000E+036"},
  };
  for (const Case& c : cases) EXPECT_EQ(format(c.value, 0, 15), c.text) << c.what;
}

TEST(FormatRealTest, OtherWidthsDecimalsAndForms) {
  struct Call {
    Extended value;
    int width;
    int decimals;
    std::string text;
  };
  const Extended inf = std::numeric_limits<Extended>::infinity();
  const Call calls[] = {
      {phi, noWidth, -1, " 1.618033988749895E+000"},
      {phi, 0, -1, " 1.6E+000"},
      {phi, 12, -1, " 1.6180E+000"},
      {phi, 50, -1, repeat(' ', 27) + " 1.618033988749895E+000"},
      {0.0, noWidth, -1, " 0.000000000000000E+000"},
      {-phi, noWidth, -1, "-1.618033988749895E+000"},
      {0x1.3c6ef372fe950p-1, noWidth, -1, " 6.180339887498949E-001"},
      {-0.001234, noWidth, -1, "-1.234000000000000E-003"},
      {1e100, noWidth, -1, " 1.000000000000000E+100"},
      {1e-1000L, noWidth, -1, " 1.000000000000000E-1000"},
      {9.96, 9, -1, " 1.0E+001"},
      {phi, 20, 15, "   1.618033988749895"},
      {phi, 0, 20, "1.6180339887498950"},
      {phi, 0, 0, "2"},
      {2.5, 0, 0, "3"},
      {0.5, 0, 0, "1"},
      {0.4, 0, 0, "0"},
      {-0.4, 0, 0, "-0"},
      {9.5, 0, 0, "10"},
      {-99.5, 0, 0, "-100"},
      {0.96, 0, 1, "1.0"},
      {inf, 0, 15, "Inf"},
      {-inf, 0, 15, "-Inf"},
      {inf, noWidth, 15, repeat(' ', 20) + "Inf"},
      {std::numeric_limits<Extended>::quiet_NaN(), 8, 15, "     NaN"},
  };
  for (const Call& c : calls) {
    EXPECT_EQ(format(c.value, c.width, c.decimals), c.text)
        << static_cast<double>(c.value) << " width " << c.width << " decimals " << c.decimals;
  }
}

// Between the minimum and the total width the exponent form fills the width exactly, whatever
// the value's sign or size.
TEST(FormatRealTest, ExponentFormFillsEveryWidthBetweenMinimumAndTotal) {
  const Extended values[] = {phi, -phi, 0.0, 9.999999, 1e-9, -123456.789, 1e300};
  for (Extended value : values) {
    for (int width = 0; width <= 23; ++width) {
      const std::string text = format(value, width, -1);
      EXPECT_EQ(static_cast<int>(text.size()), width < 9 ? 9 : width)
          << static_cast<double>(value) << " width " << width << ": " << text;
    }
  }
}

TEST(FormatRealTest, EachTypeCodeHasItsOwnBudgetAndExponentDigits) {
  struct Row {
    int typeCode;
    int width;
    int decimals;
    const char* text;
  };
  const Row rows[] = {
      {0, noWidth, -1, " 1.618033989E+00"},
      {1, noWidth, -1, " 1.618033988749895E+000"},
      {2, noWidth, -1, " 1.6180339887498949E+0000"},
      {3, noWidth, -1, " 1.61803398874989E+0000"},
      {4, 0, -1, " 1.6E+00"},
      {5, 0, 15, "1.6180339890"},
      {2, 0, 17, "1.61803398874989490"},
      {3, 0, 15, "1.618033988749890"},
      {-1, 0, 15, "1.618033988749895"},
      {6, 0, 15, "1.618033988749895"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(format(phi, r.width, r.decimals, r.typeCode), r.text) << "typeCode " << r.typeCode;
  }
}

TEST(FormatRealTest, ResultIsCutToTheCapacity) {
  EXPECT_EQ(format(phi, 20, 15, 1, 5), "   1.");
  EXPECT_EQ(format(phi, 0, 15, 1, 0), "");
  EXPECT_EQ(format(phi, 0, 15, 1, -4), "");
  EXPECT_EQ(format(std::numeric_limits<Extended>::infinity(), 10, 0, 1, 8), "       I");
  // Padding comes first, so a width beyond the capacity leaves only blanks.
  EXPECT_EQ(format(phi, 300, 15), repeat(' ', 255));

  ShortString<4> small;
  formatReal(0, 15, phi, 1, small, 255);
  EXPECT_EQ(small.view(), "1.61");
}

// Either side of 1 - 10^-15 (in the extended format, not the double nearest it): above it a
// leading integer digit 0 is taken, below it the value counts as a fraction.
TEST(FormatRealTest, ValuesJustBelowOneMeetTheSlackThreshold) {
  EXPECT_EQ(format(0x1.ffffffffffff7p-1, noWidth, -1), " 0.999999999999999E+000");
  EXPECT_EQ(format(0x1.ffffffffffff6p-1, noWidth, -1), " 9.999999999999989E-001");
}

// The rounding constant must be the run-time repeated division, however it is obtained.
TEST(FormatRealTest, RoundingHalfIsHalfDividedByTenOnceForEachDigit) {
  volatile Extended ten = 10.0L;
  Extended half = 0.5L;
  for (int budget = 0; budget <= 17; ++budget) {
    EXPECT_EQ(roundingHalf(budget), half) << "budget " << budget;
    half = half / ten;
  }
}

}  // namespace
}  // namespace qv
