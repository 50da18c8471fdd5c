// Processor faults become run-time errors: the number, a report that points at the faulting
// instruction and walks on from the faulting code's frame, and a floating-point unit that is
// set up again before anything else runs.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <string>

#include "run_error_child.h"
#include "textio/fault_map.h"
#include "textio/fpu_control.h"

namespace qv {
namespace {

using testing_child::parseReport;
using testing_child::runScenario;
using testing_child::scenarioSymbols;

TEST(FaultTest, EachProvokedFaultEndsWithItsNumberAtTheFaultingInstruction) {
  struct Case {
    const char* scenario;
    int number;
    const char* function;
  };
  const Case cases[] = {
      {"integer-divide", 200, "qvIntegerDivide"},
      {"x87-divide", 200, "qvX87Divide"},
      {"x87-overflow", 205, "qvX87Overflow"},
      {"x87-invalid", 207, "qvX87Invalid"},
      {"sse-divide", 200, "qvSseDivide"},
      {"sse-overflow", 205, "qvSseOverflow"},
      {"sse-invalid", 207, "qvSseInvalid"},
      {"access-violation", 216, "qvAccessViolation"},
      {"illegal-instruction", 217, "qvIllegalInstruction"},
      {"breakpoint", 217, "qvBreakpoint"},
      {"privileged-instruction", 217, "qvPrivilegedInstruction"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scenario);
    const auto end = runScenario(c.scenario);
    ASSERT_TRUE(end.finished);
    EXPECT_EQ(end.exitCode, c.number) << end.errors;
    const auto report = parseReport(end.output);
    EXPECT_TRUE(report.wellFormed) << end.output;
    // The unit was set up again (no exception flag left) before the restore step ran.
    EXPECT_EQ(report.before, "restored control=1372 status=0000 mxcsr=00001900\r\n");
    EXPECT_EQ(report.number, c.number);
    ASSERT_EQ(report.frames.size(), 3u) << end.output;
    EXPECT_EQ(scenarioSymbols().functionAt(report.address), c.function);
    EXPECT_EQ(scenarioSymbols().functionAt(report.frames[1]), "qvScenarioMain");
    EXPECT_EQ(scenarioSymbols().functionAt(report.frames[2]), testing_child::startProgramSymbol);
  }
}

TEST(FaultTest, StackOverflowIsReportedFromTheExhaustedStack) {
  const auto end = runScenario("stack-overflow");
  ASSERT_TRUE(end.finished);
  EXPECT_EQ(end.exitCode, 202);
  const auto report = parseReport(end.output);
  EXPECT_TRUE(report.wellFormed);
  EXPECT_EQ(report.before, "restored control=1372 status=0000 mxcsr=00001900\r\n");
  EXPECT_EQ(scenarioSymbols().functionAt(report.address), "qvRecurse");
  ASSERT_EQ(report.frames.size(), 1u + 257u);
  EXPECT_EQ(scenarioSymbols().functionAt(report.frames[1]), "qvRecurse");
}

TEST(FaultTest, ASignalSentByAnotherProcessKeepsItsDefaultAction) {
  const auto end = runScenario("sent-signal");
  ASSERT_TRUE(end.finished);
  EXPECT_EQ(end.signal, SIGSEGV);
  EXPECT_EQ(end.output, "");
}

FaultFacts arithmetic(TrapVector trap, int code) {
  FaultFacts facts;
  facts.signal = SIGFPE;
  facts.code = code;
  facts.trap = trap;
  facts.hasFpuState = true;
  facts.fpuControl = fpuControlSetting;
  facts.mxcsr = mxcsrSetting;
  return facts;
}

FaultFacts x87(std::uint16_t status, int code = FPE_FLTRES) {
  FaultFacts facts = arithmetic(TrapVector::x87Error, code);
  facts.fpuStatus = status;
  return facts;
}

FaultFacts simd(std::uint32_t flags, std::uint32_t masks = mxcsrSetting, int code = FPE_FLTRES) {
  FaultFacts facts = arithmetic(TrapVector::simdError, code);
  facts.mxcsr = masks | flags;
  return facts;
}

FaultFacts withSignal(int signal, bool guard = false, bool privileged = false) {
  FaultFacts facts;
  facts.signal = signal;
  facts.code = 1;
  facts.onStackGuard = guard;
  facts.privilegedInstruction = privileged;
  return facts;
}

// The faults that cannot be provoked here, and the choices among flags raised together.
TEST(FaultMapTest, MapsEachFaultToItsRunTimeError) {
  struct Case {
    const char* what;
    FaultFacts facts;
    std::uint16_t number;
    bool floatingPoint;
  };
  const Case cases[] = {
      {"integer division", arithmetic(TrapVector::divideError, FPE_INTDIV), 200, false},
      {"integer overflow", arithmetic(TrapVector::unknown, FPE_INTOVF), 215, false},
      {"x87 invalid with inexact", x87(fpuInvalid | fpuPrecision), 207, true},
      {"x87 underflow flag while masked", x87(fpuUnderflow | fpuZeroDivide), 200, true},
      {"x87 inexact alone", x87(fpuPrecision), 0, false},
      {"x87 unmasked denormal",
       [] {
         FaultFacts f = x87(fpuDenormal);
         f.fpuControl = fpuControlSetting & ~fpuDenormal;
         return f;
       }(),
       216, true},
      {"x87 unmasked underflow",
       [] {
         FaultFacts f = x87(fpuUnderflow);
         f.fpuControl = fpuControlSetting & ~fpuUnderflow;
         return f;
       }(),
       206, true},
      {"simd division", simd(fpuZeroDivide | fpuPrecision), 200, true},
      {"simd masked flag left over", simd(fpuPrecision | fpuOverflow, 0x1F80 & ~0x0400), 205, true},
      {"simd without fpu state",
       [] {
         FaultFacts f = simd(0, mxcsrSetting, FPE_FLTUND);
         f.hasFpuState = false;
         return f;
       }(),
       206, true},
      {"kernel's code for invalid", arithmetic(TrapVector::unknown, FPE_FLTINV), 207, true},
      {"access violation", withSignal(SIGSEGV), 216, false},
      {"stack overflow", withSignal(SIGSEGV, true), 202, false},
      {"privileged instruction", withSignal(SIGSEGV, false, true), 217, false},
      {"illegal instruction", withSignal(SIGILL), 217, false},
      {"trap", withSignal(SIGTRAP), 217, false},
      {"not a fault", withSignal(SIGUSR1), 0, false},
  };
  for (const Case& c : cases) {
    const FaultMapping mapping = mapFault(c.facts);
    EXPECT_EQ(mapping.number, c.number) << c.what;
    EXPECT_EQ(mapping.floatingPoint, c.floatingPoint) << c.what;
  }
}

TEST(FaultMapTest, RecognisesInstructionsOnlyTheKernelMayRun) {
  struct Case {
    std::vector<std::uint8_t> code;
    bool privileged;
  };
  const Case cases[] = {
      {{0xF4}, true},                    // hlt
      {{0x66, 0xEF}, true},              // out dx, ax
      {{0x0F, 0x30}, true},              // wrmsr
      {{0x48, 0x0F, 0x22, 0xD8}, true},  // mov cr3, rax
      {{0xF3, 0x6C}, true},              // rep insb
      {{0x0F, 0x0B}, false},             // ud2
      {{0x48, 0x8B, 0x01}, false},       // mov rax, [rcx]
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> code = c.code;
    code.resize(16, 0x90);
    EXPECT_EQ(isPrivilegedInstruction(code.data()), c.privileged)
        << "first byte " << int{c.code[0]};
  }
}

}  // namespace
}  // namespace qv
