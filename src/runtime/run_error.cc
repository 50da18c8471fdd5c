// Run-time errors and the one end path of the process.
#include "runtime/run_error.h"

#include <atomic>
#include <csignal>

#include "channels/io_result.h"
#include "runtime/call_stack.h"
#include "runtime/fault_handler.h"
#include "runtime/process_end.h"
#include "runtime/startup.h"

namespace qv {

bool isConsoleProgram = true;
std::uint16_t exitCode = 0;
std::uint16_t errorNumber = 0;
std::uint32_t errorAddress = 0;
const void* errorFrame = nullptr;

namespace {

RestoreStep restoreStep = nullptr;
// Read by signal handlers.
std::atomic<RestoreStep> emergencyRestoreStep{nullptr};
volatile std::sig_atomic_t terminating = 0;
int requestedStatus = -1;  // the status of an end asked for from outside; -1 when none

// Taken before it runs, so that a fault inside it cannot bring it back.
void runRestoreStepOnce() {
  const RestoreStep step = restoreStep;
  restoreStep = nullptr;
  if (step != nullptr) step();
}

// The process status keeps only the low 8 bits; an error must never end as a success.
int processStatus(std::uint16_t code) {
  const int status = code & 0xFF;
  return (status == 0 && code != 0) ? 0xFF : status;
}

int endStatus(std::uint16_t code) {
  return requestedStatus != -1 ? requestedStatus : processStatus(code);
}

}  // namespace

void setTerminalRestoreStep(RestoreStep step) {
  restoreStep = step;
}

void setEmergencyRestoreStep(RestoreStep step) {
  emergencyRestoreStep = step;
}

void runEmergencyRestore() {
  const RestoreStep step = emergencyRestoreStep;
  if (step != nullptr) step();
}

bool terminationStarted() {
  return terminating != 0;
}

void endAtOnce(std::uint16_t code) {
  runRestoreStepOnce();
  endProcess(endStatus(exitCode != 0 ? exitCode : code));
}

// The statement that failed is the one this call returns into; its frame starts the walk.
__attribute__((noinline)) void checkIo() {
  if (ioResult == 0) return;
  const std::uint16_t number = ioResult;
  ioResult = 0;
  raiseRunError(number, codeAddress(__builtin_return_address(0)), frameOfCallersCaller());
}

__attribute__((noinline)) void runError(std::uint16_t number) {
  raiseRunError(number, codeAddress(__builtin_return_address(0)), frameOfCallersCaller());
}

void haltProgram(std::uint8_t code) {
  if (terminationStarted()) endAtOnce(code);
  exitCode = code;
  terminateProgram();
}

void raiseRunError(std::uint16_t number, std::uint32_t address, const void* frame) {
  if (terminationStarted()) endAtOnce(number);
  errorNumber = number;
  exitCode = number;
  errorAddress = address;
  errorFrame = frame;
  terminateProgram();
}

void terminateProgram() {
  if (terminationStarted()) endAtOnce(exitCode);
  terminating = 1;
  finalizeModules();
  runRestoreStepOnce();
  if (errorAddress != 0) {
    // A fault in the middle of a statement may leave its I/O error pending, which would
    // silence every write of the report.
    ioResult = 0;
    writeErrorReport(reportOutput);
  }
  removeFaultHandling();
  endProcess(endStatus(exitCode));
}

void terminateOnRequest(int status) {
  if (!terminationStarted()) requestedStatus = status;
  terminateProgram();
}

}  // namespace qv
