// How the process ends. Each way of ending runs in a child process through the real start-up
// and end path: the run-time error report of a failed statement or a processor fault, its frame
// lines and their limits, the exit code, and the terminal restore step that runs once before
// anything is reported. Each scenario's restore step writes the floating-point state at that
// moment, which start-up and every fault must leave as extended precision, nearest, no flag
// raised. Then the reading of processor faults and the module table, in this process.
#include <elf.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/pty_session.h"
#include "textio/fpu_control.h"
#include "textio/io_result.h"
#include "textio/linux/fault_map.h"
#include "textio/run_error.h"
#include "textio/soft_extended.h"
#include "textio/startup.h"
#include "textio/text_channel.h"
#if defined(__x86_64__)
#include "textio/x86/x87_extended.h"
#endif

namespace qv {
namespace {

constexpr const char* startProgramSymbol = "_ZN2qv12startProgramEPFvvES1_";
constexpr const char* restoredLine = "restored control=1372 status=0000 mxcsr=00001900\r\n";

volatile int sink = 0;
volatile int recursionStop = -1;
int callsLeft = 0;
const double zero = 0.0, minusOne = -1.0;
const long double largest = __LDBL_MAX__;
volatile double extendedOperand = 0.0;  // read at run time, so that nothing is folded

void writeOut(const char* text) {
  if (write(STDOUT_FILENO, text, std::strlen(text)) < 0) sink = 3;
}

void reportFpuState() {
  char line[80];
  std::snprintf(line, sizeof line, "restored control=%04X status=%04X mxcsr=%08X\r\n",
                currentFpuControl(), currentFpuStatus(), currentMxcsr());
  writeOut(line);
}

void faultWhileRestoring() {
  writeOut("restoring\r\n");
  asm volatile("xor %%ecx, %%ecx\n\tmovl 16(%%rcx), %%eax" ::: "eax", "ecx", "memory");
}

struct Scenario {
  void (*step)();  // what the main program runs; absent: the main program's own statement fails
  int nestedCalls = 0;
  ModuleStep consoleModule = [] {};
  RestoreStep restoreStep = reportFpuState;
};
const Scenario* chosen = nullptr;

}  // namespace

// The statements and faulting code live in functions of their own, with plain names, so that
// the tests can find them in the symbol table.
extern "C" {

__attribute__((noinline)) void qvScenarioMain() {
  if (chosen->step == nullptr) {
    ioResult = 106;
    checkIo();
  } else {
    chosen->step();
  }
  sink = 2;
  exitCode = 0;
  terminateProgram();
}

// A failing statement, reached through as many nested calls as the test asks for.
__attribute__((noinline)) void qvStatement() {
  if (callsLeft-- == 0) {
    ioResult = 106;
    checkIo();
  } else {
    qvStatement();
  }
  sink = 1;
}

__attribute__((noinline)) void qvWriteOnInput() {
  writeString(0, standardInput, "x");
  flushAfterWrite(standardInput);
  checkIo();
  sink = 1;
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

// An optimising compiler gives a leaf function that uses no stack no frame of its own, even
// with frame pointers kept, and the walk would then start at its caller's frame. A local
// variable on the stack gives each faulting function the frame that ordinary code has.
#define FAULTING_FUNCTION(name, ...)      \
  __attribute__((noinline)) void name() { \
    volatile char kept[8] = {};           \
    (void)kept;                           \
    asm volatile(__VA_ARGS__);            \
  }
// clang-format off
FAULTING_FUNCTION(qvIntegerDivide,
    "xor %%ecx, %%ecx\n\txor %%edx, %%edx\n\tmov $1, %%eax\n\tdiv %%ecx" ::: "eax", "ecx", "edx")
FAULTING_FUNCTION(qvX87Divide, "fld1\n\tfdivl %0\n\tfwait\n\tfstp %%st(0)" :: "m"(zero) : "memory")
FAULTING_FUNCTION(qvX87Overflow,
    "fldt %0\n\tfmul %%st(0), %%st\n\tfwait\n\tfstp %%st(0)" :: "m"(largest) : "memory")
FAULTING_FUNCTION(qvX87Invalid, "fldl %0\n\tfsqrt\n\tfwait\n\tfstp %%st(0)" :: "m"(minusOne) : "memory")
FAULTING_FUNCTION(qvAccessViolation, "xor %%ecx, %%ecx\n\tmovl 16(%%rcx), %%eax" ::: "eax", "ecx")
// clang-format on

// The same three errors from each implementation of the extended type: a division by zero,
// an overflow in the store to double, and the square root of a negative number.
#define EXTENDED_ERRORS(Real)                                                                   \
  __attribute__((noinline)) void qv##Real##Divide() {                                           \
    sink = static_cast<int>(static_cast<double>(Real(1) / Real(extendedOperand)));              \
  }                                                                                             \
  __attribute__((noinline)) void qv##Real##Overflow() {                                         \
    const Real large = Real::fromBits({~std::uint64_t{0}, 0x43FE}) * Real(extendedOperand + 1); \
    sink = static_cast<int>(static_cast<double>(large) > 0);                                    \
  }                                                                                             \
  __attribute__((noinline)) void qv##Real##Invalid() {                                          \
    sink = static_cast<int>(static_cast<double>(sqrt(Real(extendedOperand - 1))));              \
  }
EXTENDED_ERRORS(SoftExtended)
#if defined(__x86_64__)
EXTENDED_ERRORS(X87Extended)
#endif
#undef EXTENDED_ERRORS

}  // extern "C"

namespace {

struct ChildEnd {
  int exitCode = -1;  // 128 + the signal number when a signal ended it
  std::string output, errors;
};

std::string readAll(int fd) {
  std::string text;
  lseek(fd, 0, SEEK_SET);
  char chunk[4096];
  for (ssize_t n; (n = read(fd, chunk, sizeof chunk)) > 0;) text.append(chunk, chunk + n);
  close(fd);
  return text;
}

// Standard output is a regular file, not a character device, so that the report keeps all its
// frame lines; or, on a terminal, a pseudo-terminal. The deadline is the child's own alarm.
ChildEnd runScenario(const Scenario& scenario, bool onTerminal = false) {
  const int out = memfd_create("scenario-stdout", 0), err = memfd_create("scenario-stderr", 0);
  int terminal = -1;
  const pid_t pid = onTerminal ? forkpty(&terminal, nullptr, nullptr, nullptr) : fork();
  if (pid == 0) {
    if (!onTerminal) dup2(open("/dev/null", O_RDONLY), STDIN_FILENO);
    if (!onTerminal) dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    const rlimit noCoreFile = {0, 0};
    setrlimit(RLIMIT_CORE, &noCoreFile);
    alarm(static_cast<unsigned>(scaledSeconds(30)));
    chosen = &scenario;
    callsLeft = scenario.nestedCalls;
    setTerminalRestoreStep(scenario.restoreStep);
    startProgram(scenario.consoleModule, qvScenarioMain);
  }
  ChildEnd end;
  if (onTerminal) end.output = readAll(terminal);  // until the child's end closes the terminal
  int status = 0;
  if (pid > 0 && waitpid(pid, &status, 0) == pid) {
    end.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  const std::string output = readAll(out);
  if (!onTerminal) end.output = output;
  end.errors = readAll(err);
  return end;
}

// The addresses of a report's frame lines, and the whole report they make in its exact layout
// after the restore step's line.
std::vector<std::uint32_t> frameAddresses(const std::string& text) {
  std::vector<std::uint32_t> frames;
  for (std::size_t at = 0; (at = text.find("\n  0x", at + 1)) != std::string::npos;) {
    frames.push_back(static_cast<std::uint32_t>(std::stoul(text.substr(at + 5, 8), nullptr, 16)));
  }
  return frames;
}

std::string reportText(int number, const std::vector<std::uint32_t>& frames) {
  const auto hex8 = [](std::uint32_t value) { return std::string(hexDigits(value, 8).view()); };
  std::string text = std::string(restoredLine) + "Runtime error " + std::to_string(number) +
                     " at 0x" + hex8(frames.at(0)) + "\r\n";
  for (std::uint32_t frame : frames) text += "  0x" + hex8(frame) + "\r\n";
  return text + "\r\n";
}

// The function whose code holds the address (an offset from the load address, as the report
// gives it), from the symbol table of this very executable; "" when none does.
std::string functionAt(std::uint32_t address) {
  static const std::string image = [] {
    std::ifstream file("/proc/self/exe", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }();
  const auto& header = *reinterpret_cast<const Elf64_Ehdr*>(image.data());
  const auto* sections = reinterpret_cast<const Elf64_Shdr*>(image.data() + header.e_shoff);
  for (int i = 0; i < header.e_shnum; ++i) {
    if (sections[i].sh_type != SHT_SYMTAB) continue;
    const auto* symbols = reinterpret_cast<const Elf64_Sym*>(image.data() + sections[i].sh_offset);
    const char* names = image.data() + sections[sections[i].sh_link].sh_offset;
    for (std::size_t s = 0; s < sections[i].sh_size / sizeof(Elf64_Sym); ++s) {
      const Elf64_Sym& symbol = symbols[s];
      if (ELF64_ST_TYPE(symbol.st_info) == STT_FUNC && address >= symbol.st_value &&
          address < symbol.st_value + symbol.st_size) {
        return names + symbol.st_name;
      }
    }
  }
  return "";
}

TEST(HexDigitsTest, GivesExactlyTheLowestDigitsInCapitals) {
  EXPECT_EQ(hexDigits(0, 8).view(), "00000000");
  EXPECT_EQ(hexDigits(0xFFFFFFFF, 8).view(), "FFFFFFFF");
  EXPECT_EQ(hexDigits(0xABCDEF12, 4).view(), "EF12");
  EXPECT_EQ(hexDigits(0x12, 10).view(), "0000000012");
  EXPECT_EQ(hexDigits(0x12, -3).view(), "");
}

// The report names the failing statement or faulting instruction, then every active call down
// to start-up; a regular file keeps 257 frame lines after the repeated address.
TEST(RunErrorReportTest, NamesTheFailureAndEachActiveCall) {
  // clang-format off
  struct Case { Scenario scenario; int number; std::vector<std::string> functions; };
  const auto fault = [](const char* function) {
    return std::vector<std::string>{function, "qvScenarioMain", startProgramSymbol};
  };
  const Case cases[] = {
      {{nullptr}, 106, {"qvScenarioMain", startProgramSymbol}},
      {{qvStatement}, 106, fault("qvStatement")},
      {{qvWriteOnInput}, 105, fault("qvWriteOnInput")},
      {{qvStatement, 400}, 106, std::vector<std::string>(1 + 257, "qvStatement")},
      {{qvIntegerDivide}, 200, fault("qvIntegerDivide")},
      {{qvX87Divide}, 200, fault("qvX87Divide")},
      {{qvX87Overflow}, 205, fault("qvX87Overflow")},
      {{qvX87Invalid}, 207, fault("qvX87Invalid")},
      {{qvAccessViolation}, 216, fault("qvAccessViolation")},
      {{qvSoftExtendedDivide}, 200, fault("qvSoftExtendedDivide")},
      {{qvSoftExtendedOverflow}, 205, fault("qvSoftExtendedOverflow")},
      {{qvSoftExtendedInvalid}, 207, fault("qvSoftExtendedInvalid")},
#if defined(__x86_64__)
      {{qvX87ExtendedDivide}, 200, fault("qvX87ExtendedDivide")},
      {{qvX87ExtendedOverflow}, 205, fault("qvX87ExtendedOverflow")},
      {{qvX87ExtendedInvalid}, 207, fault("qvX87ExtendedInvalid")},
#endif
      {{qvStackOverflow}, 202, std::vector<std::string>(1 + 257, "qvRecurse")},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.functions.front());
    const ChildEnd end = runScenario(c.scenario);
    EXPECT_EQ(end.exitCode, c.number) << end.errors;
    const std::vector<std::uint32_t> frames = frameAddresses(end.output);
    ASSERT_FALSE(frames.empty()) << end.output;
    EXPECT_EQ(end.output, reportText(c.number, frames));
    std::vector<std::string> functions;
    for (std::uint32_t address : frames) functions.push_back(functionAt(address));
    EXPECT_EQ(functions, c.functions) << end.output;
    // (Under the address sanitizer the switch to the recovery stack draws a remark.)
    EXPECT_TRUE(end.errors.empty() || c.scenario.step == qvStackOverflow) << end.errors;
  }
}

// Orderly ends write nothing but the restored terminal. The restore step is taken before it
// runs: a fault inside it ends the process at once, without running it again and without
// turning an error or a normal end into something else. A SIGSEGV sent by another process is
// no fault of the program and keeps its default action.
TEST(RunErrorReportTest, EndsWithoutAReport) {
  // clang-format off
  struct Case { const char* what; Scenario scenario; int exitCode; std::string output; };
  const Case cases[] = {
      {"normal end", {[] {}}, 0, restoredLine},
      {"halt", {[] {}, 0, [] { haltProgram(1); }}, 1, restoredLine},
      {"restore faults after an error", {nullptr, 0, [] {}, faultWhileRestoring}, 106, "restoring\r\n"},
      {"restore faults after a normal end", {[] {}, 0, [] {}, faultWhileRestoring}, 216,
       "restoring\r\n"},
      {"sent signal", {qvSentSignal}, 128 + SIGSEGV, ""},
  };
  // clang-format on
  for (const Case& c : cases) {
    const ChildEnd end = runScenario(c.scenario);
    EXPECT_EQ(end.exitCode, c.exitCode) << c.what;
    EXPECT_EQ(end.output, c.output) << c.what;
    EXPECT_EQ(end.errors, "") << c.what;
  }
}

TEST(RunErrorReportTest, ATerminalShowsAtMost9FrameLines) {
  const ChildEnd end = runScenario({qvStatement, 400}, true);
  EXPECT_EQ(end.exitCode, 106);
  EXPECT_EQ(frameAddresses(end.output).size(), 1u + 9u) << end.output;
  EXPECT_NE(end.output.find("Runtime error 106 at 0x"), std::string::npos) << end.output;
}

// The faults that cannot be provoked in a child process here, and the choices among
// floating-point flags raised together.
// A floating-point trap with both units as start-up leaves them, but for what is given.
FaultFacts fpTrap(TrapVector trap, std::uint16_t x87Status, std::uint32_t mxcsr = mxcsrSetting,
                  int control = fpuControlSetting, int code = FPE_FLTRES) {
  return {SIGFPE, code, trap, true, static_cast<std::uint16_t>(control), x87Status, mxcsr};
}

TEST(FaultMapTest, MapsEachFaultToItsRunTimeError) {
  using enum TrapVector;
  // clang-format off
  struct Case { const char* what; FaultFacts facts; std::uint16_t number; bool floatingPoint; };
  const Case cases[] = {
      {"integer overflow", {SIGFPE, FPE_INTOVF}, 215, false},
      {"x87 invalid with inexact", fpTrap(x87Error, fpuInvalid | fpuPrecision), 207, true},
      {"x87 underflow flag while masked", fpTrap(x87Error, fpuUnderflow | fpuZeroDivide), 200,
       true},
      {"x87 inexact alone", fpTrap(x87Error, fpuPrecision), 0, false},
      {"x87 unmasked underflow",
       fpTrap(x87Error, fpuUnderflow, mxcsrSetting, fpuControlSetting & ~fpuUnderflow), 206, true},
      {"simd masked flag left over",
       fpTrap(simdError, 0, (0x1F80 & ~0x0400) | fpuPrecision | fpuOverflow), 205, true},
      {"simd without fpu state", {SIGFPE, FPE_FLTUND, simdError}, 206, true},
      {"kernel's code for invalid", fpTrap(unknown, 0, mxcsrSetting, fpuControlSetting, FPE_FLTINV),
       207, true},
      {"illegal instruction", {SIGILL, 1}, 217, false},
      {"not a fault", {SIGUSR1, 1}, 0, false},
  };
  // clang-format on
  for (const Case& c : cases) {
    const FaultMapping mapping = mapFault(c.facts);
    EXPECT_EQ(mapping.number, c.number) << c.what;
    EXPECT_EQ(mapping.floatingPoint, c.floatingPoint) << c.what;
  }
}

// The module table: initialised in order, finalised in the reverse order, and only as far as
// initialisation got.
std::string steps;

TEST(ModuleTableTest, FinalisesOnlyWhatWasInitialisedInTheReverseOrder) {
  // clang-format off
  const ModuleTable modules = {4, 0, {{[] { steps += "i1 "; }, [] { steps += "f1 "; }},
                                      {nullptr, [] { steps += "f2 "; }},
                                      {[] { steps += "i3 "; }, nullptr},
                                      {[] { steps += "i4 "; }, [] { steps += "f4 "; }}}};
  // clang-format on
  moduleTable = modules;
  initializeModules();
  EXPECT_EQ(moduleTable.initialisedCount, 4);
  finalizeModules();
  finalizeModules();  // a second end finds nothing left to finalise
  EXPECT_EQ(steps, "i1 i3 i4 f4 f2 f1 ");
  EXPECT_EQ(moduleTable.initialisedCount, 0);

  steps.clear();
  moduleTable = modules;
  moduleTable.initialisedCount = 2;  // initialisation stopped in module 3
  finalizeModules();
  EXPECT_EQ(steps, "f2 f1 ");
  resetStartupState();
}

}  // namespace
}  // namespace qv
