// How the process ends, on every processor: failed statements and their report, the faults
// that portable code can provoke, the ends without a report, and the reading of signals. Each
// processor's own faults are in fault_test_<processor>.cc.
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <string>
#include <vector>

#include "arithmetic/soft_extended.h"
#include "channels/io_result.h"
#include "channels/text_channel.h"
#include "process_scenario.h"
#include "runtime/linux/fault_map.h"

namespace qv {
namespace {

volatile std::uintptr_t unmappedAddress = 16;

}  // namespace
}  // namespace qv

extern "C" {

__attribute__((noinline)) void qvWriteOnInput() {
  qv::writeString(0, qv::standardInput, "x");
  qv::flushAfterWrite(qv::standardInput);
  qv::checkIo();
  qv::scenarioSink = 1;
}

// The local variable gives it a frame of its own, as FAULTING_FUNCTION does.
__attribute__((noinline)) void qvAccessViolation() {
  volatile char kept[8] = {};
  (void)kept;
  qv::scenarioSink = *reinterpret_cast<const volatile int*>(qv::unmappedAddress);
}

// The signal comes from another process, as `kill -SEGV` sends it.
__attribute__((noinline)) void qvSentSignal() {
  if (fork() == 0) {
    kill(getppid(), SIGSEGV);
    _exit(0);
  }
  for (;;) pause();
}

// A statement's write failed, and the fault comes before its check: the report is still written.
__attribute__((noinline)) void qvFaultWithErrorPending() {
  qv::ioResult = 101;
  qvAccessViolation();
  qv::scenarioSink = 1;
}

EXTENDED_ERRORS(SoftExtended)

}  // extern "C"

// Two statements of one function that fail alike, the one chosen at run time: a compiler that
// merged their error paths would have both report one address.
namespace qv {
volatile int failingStatement = 0;
constexpr int firstFailingLine = __LINE__ + 5;
}  // namespace qv
extern "C" __attribute__((noinline)) void qvTwoFailingStatements() {
  const int statement = qv::failingStatement;
  const qv::SoftExtended zero(qv::extendedOperand);
  if (statement == 1) qv::scenarioSink = int(double(qv::SoftExtended(1) / zero));
  if (statement == 2) qv::scenarioSink = int(double(qv::SoftExtended(2) / zero));
}

namespace qv {
namespace {

void faultWhileRestoring() {
  if (write(STDOUT_FILENO, "restoring\r\n", 11) < 0) scenarioSink = 3;
  qvAccessViolation();
}

// A regular file keeps 257 frame lines after the repeated address.
TEST(RunErrorReportTest, NamesTheFailureAndEachActiveCall) {
  // clang-format off
  const ReportCase cases[] = {
      {{nullptr}, 106, {"qvScenarioMain", startProgramSymbol}},
      {{qvStatement}, 106, faultIn("qvStatement")},
      {{qvWriteOnInput}, 105, faultIn("qvWriteOnInput")},
      {{qvStatement, 400}, 106, std::vector<std::string>(1 + 257, "qvStatement")},
      {{qvAccessViolation}, 216, faultIn("qvAccessViolation")},
      {{qvSoftExtendedDivide}, 200, faultIn("qvSoftExtendedDivide")},
      {{qvSoftExtendedOverflow}, 205, faultIn("qvSoftExtendedOverflow")},
      {{qvSoftExtendedInvalid}, 207, faultIn("qvSoftExtendedInvalid")},
      {{qvSoftExtendedCompare}, 207, faultIn("qvSoftExtendedCompare")},
      {{qvFaultWithErrorPending}, 216,
       {"qvAccessViolation", "qvFaultWithErrorPending", "qvScenarioMain", startProgramSymbol}},
      {{qvStackOverflow}, 202, std::vector<std::string>(1 + 257, "qvRecurse")},
  };
  // clang-format on
  for (const ReportCase& c : cases) expectReport(c);
}

// Orderly ends write nothing but the restored terminal. The restore step is taken before it
// runs: a fault inside it ends the process at once, without running it again and without
// turning an error or a normal end into something else. A SIGSEGV sent by another process is
// no fault of the program and keeps its default action.
TEST(RunErrorReportTest, EndsWithoutAReport) {
  // clang-format off
  const EndCase cases[] = {
      {"normal end", {[] {}}, 0, restoredLine()},
      {"halt", {[] {}, 0, [] { haltProgram(1); }}, 1, restoredLine()},
      {"restore faults after an error", {nullptr, 0, [] {}, faultWhileRestoring}, 106,
       "restoring\r\n"},
      {"restore faults after a normal end", {[] {}, 0, [] {}, faultWhileRestoring}, 216,
       "restoring\r\n"},
      {"sent signal", {qvSentSignal}, 128 + SIGSEGV, ""},
  };
  // clang-format on
  for (const EndCase& c : cases) expectEnd(c);
}

TEST(RunErrorReportTest, EachFailingStatementOfAFunctionNamesItsOwnLine) {
  for (const int statement : {1, 2}) {
    failingStatement = statement;
    const ChildEnd end = runScenario({qvTwoFailingStatements});
    EXPECT_EQ(end.exitCode, 200);
    const std::vector<std::uint32_t> frames = frameAddresses(end.output);
    ASSERT_FALSE(frames.empty()) << end.output;
    EXPECT_EQ(sourceLineOf(frames[0]),
              "process_end_test.cc:" + std::to_string(firstFailingLine + statement - 1));
  }
}

TEST(RunErrorReportTest, ATerminalShowsAtMost9FrameLines) {
  const ChildEnd end = runScenario({qvStatement, 400}, true);
  EXPECT_EQ(end.exitCode, 106);
  EXPECT_EQ(frameAddresses(end.output).size(), 1u + 9u) << end.output;
  EXPECT_NE(end.output.find("Runtime error 106 at 0x"), std::string::npos) << end.output;
}

// The faults that cannot be provoked in a child process here.
TEST(FaultMapTest, MapsEachFaultToItsRunTimeError) {
  // clang-format off
  struct Case { const char* what; FaultFacts facts; std::uint16_t number; bool floatingPoint; };
  const Case cases[] = {
      {"integer overflow", {.signal = SIGFPE, .code = FPE_INTOVF}, 215, false},
      {"integer division known by its code only", {.signal = SIGFPE, .code = FPE_INTDIV}, 200,
       false},
      {"kernel's code for invalid", {.signal = SIGFPE, .code = FPE_FLTINV}, 207, true},
      {"processor's state over the code",
       {.signal = SIGFPE, .code = FPE_FLTRES, .arithmetic = {205, true}}, 205, true},
      {"bus error", {.signal = SIGBUS, .code = BUS_ADRALN}, 217, false},
  };
  // clang-format on
  for (const Case& c : cases) {
    const FaultMapping mapping = mapFault(c.facts);
    EXPECT_EQ(mapping.number, c.number) << c.what;
    EXPECT_EQ(mapping.floatingPoint, c.floatingPoint) << c.what;
  }
}

}  // namespace
}  // namespace qv
