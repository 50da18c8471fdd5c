// Start-up of the process: fault handling, the floating-point mode, the module table, then the
// main program, which never returns (it ends through terminateProgram).
#pragma once

namespace qv {

using ModuleStep = void (*)();

struct Module {
  ModuleStep initialise;  // may be absent
  ModuleStep finalise;    // may be absent
};

inline constexpr int moduleCapacity = 4;

// The modules in start-up order; they are finalised in the reverse order, and only those
// whose initialisation completed.
struct ModuleTable {
  int count;
  int initialisedCount;
  Module modules[moduleCapacity];
};

extern ModuleTable moduleTable;

// consoleModule is module 4's initialise step (initConsole); mainProgram is runMenuLoop.
[[noreturn]] void startProgram(ModuleStep consoleModule, ModuleStep mainProgram);

void initializeModules();
void finalizeModules();

// Module 1: binds the standard channels and clears the pending errors.
void initRuntimeCore();

// Puts the module table back to the program's own, nothing initialised (for tests).
void resetStartupState();

}  // namespace qv
