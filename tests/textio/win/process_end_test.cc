// How the process ends on Windows. Each way of ending runs in a child copy of this test
// program (started with --qv-scenario=NAME) through the real start-up and end path: the
// run-time error report of a failed statement or a processor fault, its frame lines named by
// the functions they fall in, the exit code, and the floating-point mode that a fault must
// leave behind. Then the reading of exception codes, in this process.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "textio/io_result.h"
#include "textio/report_frames.h"
#include "textio/run_error.h"
#include "textio/startup.h"
#include "textio/text_channel.h"
#include "textio/win/exception_map.h"
#include "textio/x86/fpu_state.h"

namespace qv {
namespace {

volatile int sink = 0;
volatile int recursionStop = -1;
int callsLeft = 0;
const double zero = 0.0, minusOne = -1.0;
const long double largest = __LDBL_MAX__;

// What the restore step sees: start-up's mode, or the mode a fault must put back.
void reportFpuState() {
  char line[80];
  const int length = std::snprintf(line, sizeof line, "restored control=%04X mxcsr=%08X\r\n",
                                   currentFpuControl(), currentMxcsr());
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line, DWORD(length), &written, nullptr);
}
// The control word reads back with its reserved bit 6 set.
constexpr const char* restoredLine = "restored control=1372 mxcsr=00001900\r\n";

void (*scenarioStep)() = nullptr;

}  // namespace

extern "C" {

__attribute__((noinline)) void qvScenarioMain() {
  scenarioStep();
  sink = 2;
  exitCode = 0;
  terminateProgram();
}

__attribute__((noinline)) void qvStatement() {
  if (callsLeft-- == 0) {
    ioResult = 106;
    checkIo();
  } else {
    qvStatement();
  }
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
FAULTING_FUNCTION(qvSseInvalid, "movsd %0, %%xmm0\n\tsqrtsd %%xmm0, %%xmm0" :: "m"(minusOne) : "xmm0")
FAULTING_FUNCTION(qvAccessViolation, "xor %%ecx, %%ecx\n\tmovl 16(%%rcx), %%eax" ::: "eax", "ecx")
// clang-format on

}  // extern "C"

namespace {

struct Scenario {
  const char* name;
  void (*step)();
  int nestedCalls;
};
const Scenario scenarios[] = {
    {"statement", qvStatement, 0},
    {"nested", qvStatement, 400},
    {"divide", qvIntegerDivide, 0},
    {"x87divide", qvX87Divide, 0},
    {"x87overflow", qvX87Overflow, 0},
    {"sseinvalid", qvSseInvalid, 0},
    {"access", qvAccessViolation, 0},
    {"overflow", qvStackOverflow, 0},
    {"normal", [] {}, 0},
};

// A child copy runs its scenario before the tests would start.
const bool childRan = [] {
  const char* flag = std::strstr(GetCommandLineA(), "--qv-scenario=");
  if (flag == nullptr) return false;
  for (const Scenario& scenario : scenarios) {
    const std::string wanted = std::string("--qv-scenario=") + scenario.name;
    if (std::strncmp(flag, wanted.c_str(), wanted.size()) != 0) continue;
    scenarioStep = scenario.step;
    callsLeft = scenario.nestedCalls;
    setTerminalRestoreStep(reportFpuState);
    startProgram([] {}, qvScenarioMain);
  }
  ExitProcess(99);
}();

struct ChildEnd {
  DWORD exitCode = 0;
  std::string output;
};

// Standard output is a file, not a character device, so the report keeps all its frame lines.
ChildEnd runScenario(const char* name) {
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  char folder[MAX_PATH], path[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  GetTempFileNameA(folder, "qvs", 0, path);
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  const HANDLE out = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                 CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = out;
  startup.hStdError = out;
  startup.hStdInput = INVALID_HANDLE_VALUE;
  std::string line = std::string("\"") + self + "\" --qv-scenario=" + name;
  PROCESS_INFORMATION child{};
  ChildEnd end;
  if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                     &child)) {
    WaitForSingleObject(child.hProcess, 60000);
    GetExitCodeProcess(child.hProcess, &end.exitCode);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
  }
  SetFilePointer(out, 0, nullptr, FILE_BEGIN);
  char chunk[4096];
  DWORD got = 0;
  while (ReadFile(out, chunk, sizeof chunk, &got, nullptr) && got > 0)
    end.output.append(chunk, got);
  CloseHandle(out);
  return end;
}

// The function that holds a code address of the report, from the executable's unwind table.
std::string functionAt(std::uint32_t address) {
  const auto base = reinterpret_cast<DWORD64>(GetModuleHandleA(nullptr));
  DWORD64 imageBase = 0;
  const auto* entry = RtlLookupFunctionEntry(base + address, &imageBase, nullptr);
  if (entry == nullptr) return "?";
  const struct {
    const char* name;
    const void* code;
  } known[] = {{"qvScenarioMain", reinterpret_cast<const void*>(qvScenarioMain)},
               {"qvStatement", reinterpret_cast<const void*>(qvStatement)},
               {"qvRecurse", reinterpret_cast<const void*>(qvRecurse)},
               {"qvIntegerDivide", reinterpret_cast<const void*>(qvIntegerDivide)},
               {"qvX87Divide", reinterpret_cast<const void*>(qvX87Divide)},
               {"qvX87Overflow", reinterpret_cast<const void*>(qvX87Overflow)},
               {"qvSseInvalid", reinterpret_cast<const void*>(qvSseInvalid)},
               {"qvAccessViolation", reinterpret_cast<const void*>(qvAccessViolation)},
               {"startProgram", reinterpret_cast<const void*>(startProgram)}};
  for (const auto& function : known) {
    if (reinterpret_cast<DWORD64>(function.code) == imageBase + entry->BeginAddress) {
      return function.name;
    }
  }
  return "?";
}

TEST(RunErrorReportTest, NamesTheFailureAndEachActiveCall) {
  // clang-format off
  struct Case { const char* scenario; DWORD number; std::vector<std::string> functions; };
  const auto fault = [](const char* function) {
    return std::vector<std::string>{function, "qvScenarioMain", "startProgram"};
  };
  const Case cases[] = {
      {"statement", 106, fault("qvStatement")},
      {"nested", 106, std::vector<std::string>(1 + 257, "qvStatement")},
      {"divide", 200, fault("qvIntegerDivide")},
      {"x87divide", 200, fault("qvX87Divide")},
      {"x87overflow", 205, fault("qvX87Overflow")},
      {"sseinvalid", 207, fault("qvSseInvalid")},
      {"access", 216, fault("qvAccessViolation")},
      {"overflow", 202, std::vector<std::string>(1 + 257, "qvRecurse")},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scenario);
    const ChildEnd end = runScenario(c.scenario);
    EXPECT_EQ(end.exitCode, c.number) << end.output;
    ASSERT_EQ(end.output.rfind(restoredLine, 0), 0u) << end.output;
    const std::vector<std::uint32_t> frames = frameAddresses(end.output);
    ASSERT_FALSE(frames.empty()) << end.output;
    char first[64];
    std::snprintf(first, sizeof first, "Runtime error %lu at 0x%08X\r\n", c.number, frames[0]);
    EXPECT_EQ(end.output.substr(std::strlen(restoredLine), std::strlen(first)), first);
    std::vector<std::string> functions;
    for (std::uint32_t address : frames) functions.push_back(functionAt(address));
    EXPECT_EQ(functions, c.functions) << end.output;
  }
  const ChildEnd normal = runScenario("normal");
  EXPECT_EQ(normal.exitCode, 0u);
  EXPECT_EQ(normal.output, restoredLine);
}

TEST(ExceptionMapTest, MapsEachExceptionCodeToItsRunTimeError) {
  // clang-format off
  struct Case { std::uint32_t code; std::uint32_t mxcsr; std::uint16_t number; bool floatingPoint; };
  const Case cases[] = {
      {0x80000004, 0, 217, false}, {0xC0000005, 0, 216, false}, {0xC0000006, 0, 217, false},
      {0xC000001D, 0, 217, false}, {0xC000008C, 0, 201, false}, {0xC000008D, 0, 216, true},
      {0xC000008E, 0, 200, true},  {0xC0000090, 0, 207, true},  {0xC0000091, 0, 205, true},
      {0xC0000092, 0, 207, true},  {0xC0000093, 0, 206, true},  {0xC0000094, 0, 200, false},
      {0xC0000095, 0, 215, false}, {0xC0000096, 0, 217, false}, {0xC00000FD, 0, 202, false},
      {0xC000008F, 0, 0, false},   {0x80000003, 0, 0, false},   {0xE06D7363, 0, 0, false},
      // SSE traps Windows reports together: the unmasked flags of MXCSR name the error.
      {0xC00002B5, mxcsrSetting | fpuZeroDivide | fpuPrecision, 200, true},
      {0xC00002B4, mxcsrSetting | fpuOverflow, 205, true},
      {0xC00002B5, mxcsrSetting | fpuUnderflow, 207, true},  // masked: nothing to tell
  };
  // clang-format on
  for (const Case& c : cases) {
    const FaultMapping mapping = mapException({c.code, fpuControlSetting, 0, c.mxcsr});
    EXPECT_EQ(mapping.number, c.number) << std::hex << c.code;
    EXPECT_EQ(mapping.floatingPoint, c.floatingPoint) << std::hex << c.code;
  }
}

}  // namespace
}  // namespace qv
