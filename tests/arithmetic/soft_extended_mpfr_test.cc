// The software extended arithmetic against MPFR, an independent reference that runs on every
// processor: 64-bit precision, the extended exponent range, denormals by mpfr_subnormalize after
// each operation, rounding to nearest. Numbers only (MPFR has no NaN payloads); results bit for
// bit, and overflow, division by zero and invalid operation as MPFR's flags report them. (A
// build without MPFR, the Windows cross build, checks against its x87 alone.)
#if __has_include(<mpfr.h>)
#include <gtest/gtest.h>
#include <mpfr.h>

#include <cstdint>
#include <string>
#include <vector>

#include "arithmetic/extended_operands.h"
#include "arithmetic/soft_extended.h"

namespace qv {
namespace {

using testsupport::describe;
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

void load(mpfr_ptr out, ExtendedBits x) {
  const bool negative = soft::isNegative(x);
  switch (soft::kindOf(x)) {
    case soft::Kind::zero:
      mpfr_set_zero(out, negative ? -1 : 1);
      return;
    case soft::Kind::infinity:
      mpfr_set_inf(out, negative ? -1 : 1);
      return;
    case soft::Kind::finite: {
      const soft::Unpacked value = soft::unpack(x);
      mpfr_set_uj(out, value.significand, MPFR_RNDN);
      mpfr_mul_2si(out, out, value.exponent - 63, MPFR_RNDN);
      if (negative) mpfr_neg(out, out, MPFR_RNDN);
      return;
    }
    default:
      mpfr_set_nan(out);
  }
}

ExtendedBits store(mpfr_ptr value) {
  if (mpfr_nan_p(value)) return soft::defaultNaN;
  const bool negative = mpfr_signbit(value) != 0;
  if (mpfr_inf_p(value)) return soft::infinityBits(negative);
  if (mpfr_zero_p(value)) return soft::zeroBits(negative);
  const mpfr_exp_t exponent = mpfr_get_exp(value);  // value = 0.1xxx * 2^exponent
  Number scaled;
  mpfr_mul_2si(scaled.get(), value, 64 - exponent, MPFR_RNDN);
  mpfr_abs(scaled.get(), scaled.get(), MPFR_RNDN);
  const std::uint64_t significand = mpfr_get_uj(scaled.get(), MPFR_RNDN);
  return soft::pack({negative, static_cast<int>(exponent) - 1, significand});
}

// One rounded operation: the result, and the exceptions the x87 would raise for it.
struct Reference {
  ExtendedBits value;
  unsigned flags;
};

template <typename Operation>
Reference reference(Operation operation) {
  Number result;
  mpfr_clear_flags();
  const int ternary = operation(result.get());
  mpfr_subnormalize(result.get(), ternary, MPFR_RNDN);
  unsigned flags = 0;
  if (mpfr_nanflag_p()) flags |= soft::invalidFlag;
  if (mpfr_divby0_p()) flags |= soft::zeroDivideFlag;
  if (mpfr_overflow_p()) flags |= soft::overflowFlag;
  return {store(result.get()), flags};
}

void checkPair(ExtendedBits a, ExtendedBits b, Mismatches& mismatches) {
  Number x, y;
  load(x.get(), a);
  load(y.get(), b);
  const std::string operands = describe(a) + " " + describe(b);
  using MpfrOperation = int (*)(mpfr_ptr, mpfr_srcptr, mpfr_srcptr, mpfr_rnd_t);
  const struct {
    const char* name;
    MpfrOperation mpfr;
    soft::Result (*software)(ExtendedBits, ExtendedBits);
  } operations[] = {{"+", mpfr_add, soft::add},
                    {"-", mpfr_sub, soft::subtract},
                    {"*", mpfr_mul, soft::multiply},
                    {"/", mpfr_div, soft::divide}};
  for (const auto& operation : operations) {
    const Reference expected =
        reference([&](mpfr_ptr r) { return operation.mpfr(r, x.get(), y.get(), MPFR_RNDN); });
    const soft::Result software = operation.software(a, b);
    // A default NaN is the only NaN here; MPFR has no sign for it.
    const ExtendedBits value =
        soft::kindOf(software.value) == soft::Kind::quietNaN ? soft::defaultNaN : software.value;
    mismatches.check(operands + " " + operation.name, expected.value, expected.flags, value,
                     software.flags);
  }
  const int order = mpfr_cmp(x.get(), y.get());
  const soft::Comparison software = soft::compare(a, b);
  const int softwareOrder = software.order < 0 ? -1 : (software.order > 0 ? 1 : 0);
  mismatches.check(operands + " compare", (order > 0) - (order < 0), 0u, softwareOrder,
                   software.flags);
}

void checkSingle(ExtendedBits a, Mismatches& mismatches) {
  Number x;
  load(x.get(), a);
  const std::string operand = describe(a);
  const Reference root = reference([&](mpfr_ptr r) { return mpfr_sqrt(r, x.get(), MPFR_RNDN); });
  const soft::Result softRoot = soft::squareRoot(a);
  mismatches.check(operand + " sqrt", root.value, root.flags, softRoot.value, softRoot.flags);

  const Reference whole = reference([&](mpfr_ptr r) { return mpfr_trunc(r, x.get()); });
  const soft::Result softWhole = soft::integerPart(a);
  mismatches.check(operand + " intPart", whole.value, whole.flags, softWhole.value,
                   softWhole.flags);

  // The integer, when it fits, as a number; else the integer indefinite and invalid.
  const soft::IntegerResult integer = soft::truncateToInt64(a);
  const bool fits = mpfr_number_p(x.get()) && mpfr_fits_intmax_p(x.get(), MPFR_RNDZ);
  const std::int64_t expectedInteger = fits ? mpfr_get_sj(x.get(), MPFR_RNDZ) : INT64_MIN;
  mismatches.check(operand + " truncToInteger", expectedInteger, fits ? 0u : soft::invalidFlag,
                   integer.value, integer.flags);

  // To double; overflow is the store's to a finite double becoming infinite.
  const double stored = mpfr_get_d(x.get(), MPFR_RNDN);
  const soft::DoubleResult softStored = soft::toDouble(a);
  const bool overflow =
      mpfr_number_p(x.get()) && bitCast<std::uint64_t>(stored) << 1 == std::uint64_t{0x7FF} << 53;
  mismatches.check(operand + " to double", stored, overflow ? soft::overflowFlag : 0u,
                   softStored.value, softStored.flags);
}

TEST_F(MpfrSetUp, SoftExtendedAgreesOnHardAndRandomOperands) {
  Mismatches mismatches;
  testsupport::forOperandPairs(true, testsupport::randomCases(200000),
                               [&mismatches](ExtendedBits a, ExtendedBits b) {
                                 checkPair(a, b, mismatches);
                                 checkSingle(a, mismatches);
                               });
  OperandSource source(true);
  for (int i = 0; i < testsupport::randomCases(100000); ++i) {
    const double value = source.nextDouble();
    const Reference loaded = reference([&](mpfr_ptr r) { return mpfr_set_d(r, value, MPFR_RNDN); });
    const soft::Result software = soft::fromDouble(value);
    mismatches.check("from double", loaded.value, loaded.flags, software.value, software.flags);
  }
  EXPECT_TRUE(mismatches.none()) << mismatches.report();
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
    const Reference expected = reference(
        [&](mpfr_ptr r) { return mpfr_strtofr(r, text.c_str(), nullptr, 10, MPFR_RNDN); });
    mismatches.check(text, expected.value, 0u, soft::decimalToExtended(text), 0u);
  }
  EXPECT_TRUE(mismatches.none()) << mismatches.report();
}

}  // namespace
}  // namespace qv

#endif  // __has_include(<mpfr.h>)
