// Start-up of the process: fault handling, the floating-point mode, the module table, then the
// main program, which never returns (it ends through terminateProgram).
#pragma once

namespace qv {

using ModuleStep = void (*)();

struct Module {
  ModuleStep initialise;  // may be absent
  ModuleStep finalise;    // may be absent
};

// consoleModule is module 4's initialise step (initConsole); mainProgram is runMenuLoop.
[[noreturn]] void startProgram(ModuleStep consoleModule, ModuleStep mainProgram);

void initializeModules();
void finalizeModules();

}  // namespace qv
