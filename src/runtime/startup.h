// Start-up of the process: fault handling, the floating-point mode, the module table, then the
// main program, which never returns (it ends through terminateProgram).
#pragma once

#include "channels/text_channel.h"

namespace qv {

using ModuleStep = void (*)();

struct Module {
  ModuleStep initialize;  // may be absent
  ModuleStep finalize;    // may be absent
};

inline constexpr int moduleCapacity = 4;

// The modules in start-up order; they are finalised in the reverse order, and only those
// whose initialisation completed.
struct ModuleTable {
  int count;
  int initializedCount;
  Module modules[moduleCapacity];
};

extern ModuleTable moduleTable;

// consoleModule is module 4's initialize step (initConsole); mainProgram is runMenuLoop.
[[noreturn]] void startProgram(ModuleStep consoleModule, ModuleStep mainProgram);

void initializeModules();
void finalizeModules();

// Module 1: binds the standard channels and clears the pending errors.
void initRuntimeCore();
// A channel open on a standard handle with the file driver; a mode other than input or output
// is run-time error 102 at once.
void openStandardChannel(TextChannel& channel, ChannelMode mode, Handle handle);
// Start-up binding of the four channels onto the process's standard handles.
void bindStandardChannels();

}  // namespace qv
