// The faults of a processor without code of its own here: its floating-point environment as
// start-up and every fault leave it, and an integer division by zero on the processors that
// trap it and on 32-bit ARM, whose division routine raises it. The program's arithmetic raises its
// own errors on all of them (process_end_test.cc).
#include <gtest/gtest.h>

#include <cfenv>
#include <cstdio>

#include "runtime/linux/process_scenario.h"

namespace qv {

const char* const programFloatingPointState = "nearest flags=00";

std::string floatingPointState() {
  char text[64];
  std::snprintf(text, sizeof text, "%s flags=%02X",
                std::fegetround() == FE_TONEAREST ? "nearest" : "other",
                static_cast<unsigned>(std::fetestexcept(FE_ALL_EXCEPT)));
  return text;
}

namespace {
// Both read at run time: a compiler may turn 1 / x into a comparison.
volatile int dividend = 7;
volatile int zeroDivisor = 0;
volatile long long longDividend = 7;
volatile long long longZeroDivisor = 0;
}  // namespace
}  // namespace qv

extern "C" __attribute__((noinline)) void qvIntegerDivide() {
  volatile char kept[8] = {};
  (void)kept;
  qv::scenarioSink = qv::dividend / qv::zeroDivisor;
}

extern "C" __attribute__((noinline)) void qvLongDivide() {
  volatile char kept[8] = {};
  (void)kept;
  qv::scenarioSink = static_cast<int>(qv::longDividend / qv::longZeroDivisor);
}

namespace qv {
namespace {

// mips traps too, but qemu-user sends SIGTRAP for it where the kernel sends SIGFPE with its
// code for a division by zero (FaultMapTest maps that).
#if defined(__s390x__) || defined(__arm__)
TEST(FenvFaultTest, AnIntegerDivisionByZeroIs200) {
  expectReport({{qvIntegerDivide}, 200, faultIn("qvIntegerDivide")});
  expectReport({{qvLongDivide}, 200, faultIn("qvLongDivide")});
}
#endif

}  // namespace
}  // namespace qv
