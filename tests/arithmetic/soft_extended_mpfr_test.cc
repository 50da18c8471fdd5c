// Decimal text to the software extended format against MPFR, an independent reference that
// runs on every processor: 64-bit precision, the extended exponent range, denormals by
// mpfr_subnormalize, rounding to nearest. (The operations themselves are checked bit for bit
// against the x87, NaNs and refused encodings included, in x86/.)
#if __has_include(<mpfr.h>)
#include <gtest/gtest.h>
#include <mpfr.h>

#include <cstdint>
#include <string>

#include "arithmetic/extended_operands.h"
#include "arithmetic/soft_extended.h"

namespace qv {
namespace {

using testsupport::Mismatches;
using testsupport::OperandSource;

class Number {
 public:
  Number() { mpfr_init2(value_, 64); }
  ~Number() { mpfr_clear(value_); }
  Number(const Number&) = delete;
  Number& operator=(const Number&) = delete;
  mpfr_ptr get() { return value_; }

 private:
  mpfr_t value_;
};

// The extended format as MPFR sees it: its exponents count from a significand in [1/2, 1).
class MpfrSetUp : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    mpfr_set_emin(-16444);
    mpfr_set_emax(16384);
  }
  static void TearDownTestSuite() {
    mpfr_set_emin(mpfr_get_emin_min());
    mpfr_set_emax(mpfr_get_emax_max());
  }
};

ExtendedBits decimalByMpfr(const std::string& text) {
  Number value;
  const int ternary = mpfr_strtofr(value.get(), text.c_str(), nullptr, 10, MPFR_RNDN);
  mpfr_subnormalize(value.get(), ternary, MPFR_RNDN);
  const bool negative = mpfr_signbit(value.get()) != 0;
  if (mpfr_inf_p(value.get())) return soft::infinityBits(negative);
  if (mpfr_zero_p(value.get())) return soft::zeroBits(negative);
  const mpfr_exp_t exponent = mpfr_get_exp(value.get());  // value = 0.1xxx * 2^exponent
  mpfr_mul_2si(value.get(), value.get(), 64 - exponent, MPFR_RNDN);
  mpfr_abs(value.get(), value.get(), MPFR_RNDN);
  const std::uint64_t significand = mpfr_get_uj(value.get(), MPFR_RNDN);
  return soft::pack({negative, static_cast<int>(exponent) - 1, significand});
}

// Decimal text, rounded once: MPFR's conversion of the same text, over the whole range, also
// with more significant digits than are kept exactly (100).
TEST_F(MpfrSetUp, DecimalTextRoundsOnceToTheNearestValue) {
  Mismatches mismatches;
  OperandSource source(true);
  for (int i = 0; i < testsupport::randomCases(20000); ++i) {
    std::string text = (source.bits() & 1) ? "-" : "";
    const int digits = 1 + static_cast<int>(source.bits() % 120);
    for (int d = 0; d < digits; ++d) {
      text += static_cast<char>('0' + source.bits() % 10);
      if (d == 0 && digits > 1 && (source.bits() & 1)) text += '.';
    }
    const int exponent = static_cast<int>(source.bits() % 9920) - 4970;
    text += "e" + std::to_string(i % 3 == 0 ? exponent % 40 : exponent);
    mismatches.check(text, decimalByMpfr(text), 0u, soft::decimalToExtended(text), 0u);
  }
  EXPECT_TRUE(mismatches.none()) << mismatches.report();
}

}  // namespace
}  // namespace qv

#endif  // __has_include(<mpfr.h>)
