// Stub: replaced by the real start-up.
#include "textio/startup.h"

#include "textio/run_error.h"
#include "textio/text_channel.h"

namespace qv {
void startProgram(ModuleStep consoleModule, ModuleStep mainProgram) {
  bindStandardChannels();
  consoleModule();
  mainProgram();
  terminateProgram();
}
void initializeModules() {}
void finalizeModules() {}
}  // namespace qv
