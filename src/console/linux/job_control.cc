#include "console/linux/job_control.h"

#include <csignal>

#include "console/linux/signals.h"
#include "runtime/linux/signal_end.h"

namespace qv {

namespace {

// How often a program that cannot stop in the background (SIGTTOU ignored, or an orphaned
// process group) looks whether it has the terminal again.
constexpr int backgroundCheckMs = 1000;

}  // namespace

DeviceEvent endBySignal(int signalNumber, DeviceEvent::Kind kind) {
  setEndingSignal(signalNumber);
  return DeviceEvent::ending(128 + signalNumber, kind);
}

DeviceEvent hangUp() {
  return endBySignal(SIGHUP, DeviceEvent::Kind::hangUp);
}

DeviceEvent waitForForeground(const TtyModes& modes) {
  for (;;) {
    if (const int signalNumber = signalPipe::endingSignal()) return endBySignal(signalNumber);
    signalPipe::takeContinue();  // answered here; a later one cancels the stop below
    if (modes.inForeground()) return {};
    if (!signalPipe::stopProcess(SIGTTOU)) signalPipe::waitForSignal(backgroundCheckMs);
  }
}

}  // namespace qv
