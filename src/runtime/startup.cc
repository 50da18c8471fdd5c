#include "runtime/startup.h"

#include "channels/file_driver.h"
#include "channels/io_result.h"
#include "channels/line_feed_driver.h"
#include "channels/text_channel.h"
#include "runtime/call_stack.h"
#include "runtime/fault_handler.h"
#include "runtime/fpu_control.h"
#include "runtime/run_error.h"

namespace qv {
namespace {

constexpr int consoleModuleIndex = 3;

// Modules 2 and 3 (an empty one and an operating-system probe) have nothing to do here; their
// places are kept so the numbering stays that of the program's design.
constexpr ModuleTable programModules = {
    moduleCapacity,
    0,
    {{initRuntimeCore, nullptr}, {nullptr, nullptr}, {nullptr, nullptr}, {nullptr, nullptr}},
};

}  // namespace

ModuleTable moduleTable = programModules;

void initRuntimeCore() {
  bindStandardChannels();
  ioResult = 0;
  lastOsError = 0;
}

void openStandardChannel(TextChannel& channel, ChannelMode mode, Handle handle) {
  if (mode != modeInput && mode != modeOutput) runError(102);
  openFileChannel(channel, mode, handle);
}

void bindStandardChannels() {
  prepareStandardHandles();
  standardInputHandle = standardHandle(standardInputId);
  standardOutputHandle = standardHandle(standardOutputId);
  standardErrorHandle = standardHandle(standardErrorId);
  openStandardChannel(standardInput, modeInput, standardInputHandle);
  openStandardChannel(standardOutput, modeOutput, standardOutputHandle);
  openStandardChannel(reportOutput, modeOutput, standardOutputHandle);
  openStandardChannel(standardError, modeOutput, standardErrorHandle);
  // A report or a start-up message that goes into a file or a pipe is read there with the
  // system's text tools, so its lines end as the system's text files do; a terminal takes the
  // program's own line ends as they are, unless it adds the carriage return itself.
  for (TextChannel* channel : {&reportOutput, &standardError}) {
    if (!isTerminal(channel->handle) || terminalAddsCarriageReturn(channel->handle)) {
      bindLineFeedOutput(*channel, channel->handle, true);
    }
  }
}

void initializeModules() {
  for (int i = 0; i < moduleTable.count; ++i) {
    if (moduleTable.modules[i].initialize != nullptr) moduleTable.modules[i].initialize();
    moduleTable.initializedCount = i + 1;
  }
}

void finalizeModules() {
  while (moduleTable.initializedCount > 0) {
    moduleTable.initializedCount = moduleTable.initializedCount - 1;
    const ModuleStep finalize = moduleTable.modules[moduleTable.initializedCount].finalize;
    if (finalize != nullptr) finalize();
  }
}

// The walk of a run-time error report ends at this frame, so its last line is the main
// program's return into start-up. mainProgram is called from here directly for that reason.
void startProgram(ModuleStep consoleModule, ModuleStep mainProgram) {
  isConsoleProgram = true;
  const void* frame = __builtin_frame_address(0);
  recordOutermostFrame(frame);
  installFaultHandling(frame);
  loadFpuControl();
  loadSoftFpuControl(fpuControlSetting);
  moduleTable.modules[consoleModuleIndex].initialize = consoleModule;
  isConsoleProgram = true;
  initializeModules();
  mainProgram();
  terminateProgram();  // the main program never returns; should it, the end is still orderly
}

}  // namespace qv
