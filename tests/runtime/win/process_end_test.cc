// How the process ends on Windows. Each way of ending runs in a child copy of this test
// program (started with --qv-scenario=INDEX) through the real start-up and end path: the
// run-time error report of a failed statement or a processor fault, its frame lines named by
// the functions they fall in, the exit code, and the floating-point mode that a fault must
// leave behind. Then the reading of exception codes, in this process.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "channels/io_result.h"
#include "channels/text_channel.h"
#include "runtime/report_frames.h"
#include "runtime/run_error.h"
#include "runtime/startup.h"
#include "runtime/win/exception_map.h"
#include "runtime/x86/fpu_state.h"
#include "runtime/x86/x86_faults.h"

namespace qv {
namespace {

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
}  // namespace qv

extern "C" {

__attribute__((noinline)) void qvScenarioMain() {
  qv::scenarioStep();
  qv::scenarioSink = 2;
  qv::exitCode = 0;
  qv::terminateProgram();
}

// clang-format off
FAULTING_FUNCTION(qvAccessViolation, "xor %%ecx, %%ecx\n\tmovl 16(%%rcx), %%eax" ::: "eax", "ecx")
// clang-format on

}  // extern "C"

namespace qv {
namespace {

// Each scenario by the function its step is.
struct Scenario {
  const char* function;
  void (*step)();
  int nestedCalls;
  DWORD number;
};
const Scenario scenarios[] = {
    {"qvStatement", qvStatement, 0, 106},
    {"qvStatement", qvStatement, 400, 106},
    {"qvIntegerDivide", qvIntegerDivide, 0, 200},
    {"qvX87Divide", qvX87Divide, 0, 200},
    {"qvX87Overflow", qvX87Overflow, 0, 205},
    {"qvSseInvalid", qvSseInvalid, 0, 207},
    {"qvAccessViolation", qvAccessViolation, 0, 216},
    {"qvStackOverflow", qvStackOverflow, 0, 202},
    {"qvIllegalInstruction", qvIllegalInstruction, 0, 217},
    {"qvPrivilegedInstruction", qvPrivilegedInstruction, 0, 217},
    // Resumed with the flag still set, the error path itself would trap at every step.
    {"qvSingleStep", qvSingleStep, 0, 217},
    {"normal", [] {}, 0, 0},
};

// A child copy runs its scenario (--qv-scenario=INDEX) before the tests would start.
const bool childRan = [] {
  const char* flag = std::strstr(GetCommandLineA(), "--qv-scenario=");
  if (flag == nullptr) return false;
  const Scenario& scenario = scenarios[std::atoi(flag + std::strlen("--qv-scenario="))];
  scenarioStep = scenario.step;
  callsLeft = scenario.nestedCalls;
  setTerminalRestoreStep(reportFpuState);
  startProgram([] {}, qvScenarioMain);
}();

struct ChildEnd {
  DWORD exitCode = 0;
  std::string output;
};

// Standard output is a file, not a character device, so the report keeps all its frame lines.
ChildEnd runScenario(std::size_t index) {
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
  std::string line = std::string("\"") + self + "\" --qv-scenario=" + std::to_string(index);
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
  std::vector<std::pair<const char*, const void*>> known = {
      {"qvScenarioMain", reinterpret_cast<const void*>(qvScenarioMain)},
      {"qvRecurse", reinterpret_cast<const void*>(qvRecurse)},
      {"startProgram", reinterpret_cast<const void*>(startProgram)}};
  for (const Scenario& scenario : scenarios)
    known.emplace_back(scenario.function, reinterpret_cast<const void*>(scenario.step));
  for (const auto& [name, code] : known) {
    if (entry && reinterpret_cast<DWORD64>(code) == imageBase + entry->BeginAddress) return name;
  }
  return "?";
}

// A regular file keeps 257 frame lines after the repeated address.
TEST(RunErrorReportTest, NamesTheFailureAndEachActiveCall) {
  for (std::size_t index = 0; index + 1 < std::size(scenarios); ++index) {
    const Scenario& c = scenarios[index];
    SCOPED_TRACE(c.function);
    const ChildEnd end = runScenario(index);
    EXPECT_EQ(end.exitCode, c.number) << end.output;
    ASSERT_EQ(end.output.rfind(restoredLine, 0), 0u) << end.output;
    const std::vector<std::uint32_t> frames = frameAddresses(end.output);
    ASSERT_FALSE(frames.empty()) << end.output;
    char first[64];
    std::snprintf(first, sizeof first, "Runtime error %lu at 0x%08X\r\n", c.number, frames[0]);
    EXPECT_EQ(end.output.substr(std::strlen(restoredLine), std::strlen(first)), first);
    std::vector<std::string> functions;
    for (std::uint32_t address : frames) functions.push_back(functionAt(address));
    // The deep ones fill the frame lines with the function that calls itself.
    const char* deep = c.nestedCalls > 0           ? c.function
                       : c.step == qvStackOverflow ? "qvRecurse"
                                                   : "";
    const std::vector<std::string> expected =
        *deep ? std::vector<std::string>(1 + 257, deep)
              : std::vector<std::string>{c.function, "qvScenarioMain", "startProgram"};
    EXPECT_EQ(functions, expected) << end.output;
  }
  const ChildEnd normal = runScenario(std::size(scenarios) - 1);
  EXPECT_EQ(normal.exitCode, 0u);
  EXPECT_EQ(normal.output, restoredLine);
}

TEST(ExceptionMapTest, MapsEachExceptionCodeToItsRunTimeError) {
  // clang-format off
  struct Case { std::uint32_t code; std::uint32_t mxcsr; std::uint16_t number; bool floatingPoint; };
  const Case cases[] = {
      // The codes no scenario above provokes.
      {0xC0000006, 0, 217, false}, {0xC000008C, 0, 201, false}, {0xC000008D, 0, 216, true},
      {0xC0000092, 0, 207, true},  {0xC0000093, 0, 206, true},  {0xC0000095, 0, 215, false},
      {0xC0000090, 0, 207, true},  {0xC000008F, 0, 0, false},   {0x80000003, 0, 0, false},
      {0xE06D7363, 0, 0, false},
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
