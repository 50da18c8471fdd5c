// Ways of ending the process, each run in a child process through the real start-up and end
// path: the run-time error report of a failed statement or a processor fault, its frame lines,
// the exit code, and the terminal restore step that runs once before anything is reported.
// Each scenario's restore step writes the floating-point state at that moment, which start-up
// and every fault must leave in the program's mode with no flag raised. Shared by the portable
// cases (process_end_test.cc) and each processor's own faults (fault_test_<processor>.cc).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/report_frames.h"
#include "runtime/run_error.h"
#include "runtime/scenario_code.h"
#include "runtime/startup.h"

namespace qv {

inline constexpr const char* startProgramSymbol = "_ZN2qv12startProgramEPFvvES1_";

// Each processor's test file says how its floating-point state reads, now and in the
// program's mode.
std::string floatingPointState();
extern const char* const programFloatingPointState;

void reportFpuState();       // the usual restore step: "restored " + the state + line end
std::string restoredLine();  // what it writes when the state is the program's

struct Scenario {
  void (*step)();  // what the main program runs; absent: the main program's own statement fails
  int nestedCalls = 0;
  ModuleStep consoleModule = [] {};
  RestoreStep restoreStep = reportFpuState;
};

struct ChildEnd {
  int exitCode = -1;  // 128 + the signal number when a signal ended it
  std::string output, errors;
};

// Standard output is a regular file, not a character device, so that the report keeps all its
// frame lines; or, on a terminal, a pseudo-terminal.
ChildEnd runScenario(const Scenario& scenario, bool onTerminal = false);

// The report names the failing statement or faulting instruction, then every active call down
// to start-up, in its exact layout after the restore step's line, and nothing goes to the
// standard error stream.
struct ReportCase {
  Scenario scenario;
  int number;
  std::vector<std::string> functions;  // the function of each frame line, innermost first
};
void expectReport(const ReportCase& c);
std::vector<std::string> faultIn(const char* function);  // a fault in a step of the main program
// The file's name and line of the statement that holds the code at a report address.
std::string sourceLineOf(std::uint32_t address);

// An end without a report: the exit code and all the output.
struct EndCase {
  const char* what;
  Scenario scenario;
  int exitCode;
  std::string output;
};
void expectEnd(const EndCase& c);

}  // namespace qv

// The statements and faulting code live in functions of their own, with plain names, so that
// the tests can find them in the symbol table.
extern "C" {
void qvScenarioMain();
}

// The same four errors from an implementation of the extended type: a division by zero, an
// overflow in the store to double, the square root of a negative number, and a comparison with
// a signalling NaN. The operand is read at run time, so that nothing is folded.
namespace qv {
extern volatile double extendedOperand;  // 0
}  // namespace qv
#define EXTENDED_ERRORS(Real)                                                                \
  __attribute__((noinline)) void qv##Real##Divide() {                                        \
    qv::scenarioSink =                                                                       \
        static_cast<int>(static_cast<double>(qv::Real(1) / qv::Real(qv::extendedOperand)));  \
  }                                                                                          \
  __attribute__((noinline)) void qv##Real##Overflow() {                                      \
    const qv::Real large =                                                                   \
        qv::Real::fromBits({~std::uint64_t{0}, 0x43FE}) * qv::Real(qv::extendedOperand + 1); \
    qv::scenarioSink = static_cast<int>(static_cast<double>(large) > 0);                     \
  }                                                                                          \
  __attribute__((noinline)) void qv##Real##Invalid() {                                       \
    qv::scenarioSink =                                                                       \
        static_cast<int>(static_cast<double>(sqrt(qv::Real(qv::extendedOperand - 1))));      \
  }                                                                                          \
  __attribute__((noinline)) void qv##Real##Compare() {                                       \
    const qv::Real signalling = qv::Real::fromBits(                                          \
        {0xA000000000000000 | static_cast<std::uint64_t>(qv::extendedOperand), 0x7FFF});     \
    qv::scenarioSink = signalling == signalling;                                             \
  }
