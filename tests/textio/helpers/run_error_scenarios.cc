// Runs one way of ending the process, named by the argument, through the real start-up and end
// path: the tests read its exit status and its output. Every end writes a "restored" line first
// from the terminal restore step, with the floating-point state at that moment.
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "textio/fpu_control.h"
#include "textio/io_result.h"
#include "textio/run_error.h"
#include "textio/startup.h"
#include "textio/text_channel.h"

namespace {

using Step = void (*)();

volatile int sink = 0;
volatile int recursionStop = -1;
const double zero = 0.0;
const double one = 1.0;
const double minusOne = -1.0;
const double huge = 1e308;
const long double largest = __LDBL_MAX__;

void writeOut(std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = write(STDOUT_FILENO, text.data(), text.size());
    if (n <= 0) return;
    text.remove_prefix(static_cast<std::size_t>(n));
  }
}

void reportFpuState() {
  writeOut("restored control=");
  writeOut(qv::hexDigits(qv::currentFpuControl(), 4).view());
  writeOut(" status=");
  writeOut(qv::hexDigits(qv::currentFpuStatus(), 4).view());
  writeOut(" mxcsr=");
  writeOut(qv::hexDigits(qv::currentMxcsr(), 8).view());
  writeOut("\r\n");
}

void faultWhileRestoring() {
  writeOut("restoring\r\n");
  asm volatile("xor %%ecx, %%ecx\n\tmovl 16(%%rcx), %%eax" ::: "eax", "ecx", "memory");
}

}  // namespace

// The statements and faulting code live in functions of their own, with plain names, so that
// the tests can find them in the symbol table.
//
// An optimising compiler gives a leaf function that uses no stack no frame of its own, even
// with frame pointers kept, and the walk would then start at its caller's frame. A local
// variable on the stack gives each faulting function the frame that ordinary code has.
#define KEEP_FRAME            \
  volatile char kept[8] = {}; \
  (void)kept
extern "C" {

__attribute__((noinline)) void qvMethodStatement() {
  qv::ioResult = 106;
  qv::checkIo();
  sink = 1;
}

__attribute__((noinline)) void qvWriteOnInput() {
  qv::writeString(0, qv::standardInput, "x");
  qv::flushAfterWrite(qv::standardInput);
  qv::checkIo();
  sink = 1;
}

__attribute__((noinline)) void qvDeepStatement(int depth) {
  if (depth == 0) {
    qv::ioResult = 106;
    qv::checkIo();
  } else {
    qvDeepStatement(depth - 1);
  }
  sink = depth;
}

__attribute__((noinline)) void qvDeepCalls() {
  qvDeepStatement(400);
}

__attribute__((noinline)) void qvIntegerDivide() {
  KEEP_FRAME;
  asm volatile("xor %%ecx, %%ecx\n\txor %%edx, %%edx\n\tmov $1, %%eax\n\tdiv %%ecx" ::
                   : "eax", "ecx", "edx");
}

__attribute__((noinline)) void qvX87Divide() {
  KEEP_FRAME;
  asm volatile("fld1\n\tfdivl %0\n\tfwait\n\tfstp %%st(0)" : : "m"(zero) : "memory");
}

__attribute__((noinline)) void qvX87Overflow() {
  KEEP_FRAME;
  asm volatile("fldt %0\n\tfmul %%st(0), %%st\n\tfwait\n\tfstp %%st(0)"
               :
               : "m"(largest)
               : "memory");
}

__attribute__((noinline)) void qvX87Invalid() {
  KEEP_FRAME;
  asm volatile("fldl %0\n\tfsqrt\n\tfwait\n\tfstp %%st(0)" : : "m"(minusOne) : "memory");
}

__attribute__((noinline)) void qvSseDivide() {
  KEEP_FRAME;
  asm volatile("movsd %0, %%xmm0\n\tdivsd %1, %%xmm0" : : "m"(one), "m"(zero) : "xmm0");
}

__attribute__((noinline)) void qvSseOverflow() {
  KEEP_FRAME;
  asm volatile("movsd %0, %%xmm0\n\tmulsd %0, %%xmm0" : : "m"(huge) : "xmm0");
}

__attribute__((noinline)) void qvSseInvalid() {
  KEEP_FRAME;
  asm volatile("sqrtsd %0, %%xmm0" : : "m"(minusOne) : "xmm0");
}

__attribute__((noinline)) void qvAccessViolation() {
  KEEP_FRAME;
  asm volatile("xor %%ecx, %%ecx\n\tmovl 16(%%rcx), %%eax" ::: "eax", "ecx", "memory");
}

__attribute__((noinline)) void qvIllegalInstruction() {
  KEEP_FRAME;
  asm volatile("nop\n\tud2\n\tnop");
}

__attribute__((noinline)) void qvBreakpoint() {
  KEEP_FRAME;
  asm volatile("nop\n\tint3\n\tnop");
}

__attribute__((noinline)) void qvPrivilegedInstruction() {
  KEEP_FRAME;
  asm volatile("nop\n\thlt\n\tnop");
}

__attribute__((noinline)) int qvRecurse(int depth) {
  volatile char pad[256];
  pad[0] = static_cast<char>(depth);
  if (depth == recursionStop) return 0;
  return qvRecurse(depth + 1) + pad[0];
}

__attribute__((noinline)) void qvStackOverflow() {
  sink = qvRecurse(0);
}

__attribute__((noinline)) void qvSentSignal() {
  raise(SIGSEGV);
}

}  // extern "C"

namespace {

struct Scenario {
  const char* name;
  Step step;  // what the main program runs; absent: an orderly end
  bool failInMain = false;
  qv::ModuleStep consoleModule = nullptr;
  qv::RestoreStep restoreStep = reportFpuState;
};

void haltingConsole() {
  qv::haltProgram(1);
}
void normalEnd() {}
void failingMain() {}

const Scenario scenarios[] = {
    {"normal", normalEnd},
    {"halt", normalEnd, false, haltingConsole},
    {"menu-io", failingMain, true},
    {"method-io", qvMethodStatement},
    {"write-input", qvWriteOnInput},
    {"deep-io", qvDeepCalls},
    {"integer-divide", qvIntegerDivide},
    {"x87-divide", qvX87Divide},
    {"x87-overflow", qvX87Overflow},
    {"x87-invalid", qvX87Invalid},
    {"sse-divide", qvSseDivide},
    {"sse-overflow", qvSseOverflow},
    {"sse-invalid", qvSseInvalid},
    {"access-violation", qvAccessViolation},
    {"illegal-instruction", qvIllegalInstruction},
    {"breakpoint", qvBreakpoint},
    {"privileged-instruction", qvPrivilegedInstruction},
    {"stack-overflow", qvStackOverflow},
    {"sent-signal", qvSentSignal},
    {"restore-faults-after-error", failingMain, true, nullptr, faultWhileRestoring},
    {"restore-faults-after-normal-end", normalEnd, false, nullptr, faultWhileRestoring},
};

const Scenario* chosen = nullptr;

void quietConsole() {}

}  // namespace

extern "C" __attribute__((noinline)) void qvScenarioMain() {
  if (chosen->failInMain) {
    qv::ioResult = 106;
    qv::checkIo();
  }
  chosen->step();
  sink = 2;
  qv::exitCode = 0;
  qv::terminateProgram();
}

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  for (const Scenario& scenario : scenarios) {
    if (std::strcmp(argv[1], scenario.name) == 0) chosen = &scenario;
  }
  if (chosen == nullptr) return 2;
  qv::setTerminalRestoreStep(chosen->restoreStep);
  qv::startProgram(chosen->consoleModule ? chosen->consoleModule : quietConsole, qvScenarioMain);
}
