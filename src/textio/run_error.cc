// Stub: replaced by the real run-time error handling.
#include "textio/run_error.h"

#include <unistd.h>

#include <cstdlib>

#include "textio/io_result.h"

namespace qv {
bool isConsoleProgram = true;
std::uint16_t exitCode = 0;
std::uint16_t errorNumber = 0;
std::uint32_t errorAddress = 0;
const void* errorFrame = nullptr;
static RestoreStep restoreStep = nullptr;
void setTerminalRestoreStep(RestoreStep step) { restoreStep = step; }
void checkIo() {
  if (ioResult != 0) {
    std::uint16_t n = ioResult;
    ioResult = 0;
    raiseRunError(n, 1, nullptr);
  }
}
void runError(std::uint16_t number) { raiseRunError(number, 1, nullptr); }
void haltProgram(std::uint8_t code) {
  exitCode = code;
  terminateProgram();
}
void raiseRunError(std::uint16_t number, std::uint32_t address, const void* frame) {
  errorNumber = exitCode = number;
  errorAddress = address;
  errorFrame = frame;
  terminateProgram();
}
void terminateProgram() {
  if (restoreStep) restoreStep();
  _exit(exitCode);
}
}  // namespace qv
