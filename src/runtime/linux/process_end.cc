#include "runtime/process_end.h"

#include <signal.h>
#include <unistd.h>

#include <csignal>

#include "runtime/linux/signal_end.h"

namespace qv {

namespace {
volatile std::sig_atomic_t endingSignal = 0;
}  // namespace

void setEndingSignal(int signalNumber) {
  endingSignal = signalNumber;
}

void endProcess(int status) {
  if (endingSignal != 0) endProcessBySignal(endingSignal, status);
  _exit(status);
}

void endProcessBySignal(int signalNumber, int status) {
  struct sigaction found {};
  const bool ignored = sigaction(signalNumber, nullptr, &found) == 0 &&
                       (found.sa_flags & SA_SIGINFO) == 0 && found.sa_handler == SIG_IGN;
  if (!ignored) {
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    sigaction(signalNumber, &standard, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signalNumber);
    sigprocmask(SIG_UNBLOCK, &only, nullptr);
    raise(signalNumber);
  }
  _exit(status);  // a signal whose default action does not end the process
}

}  // namespace qv
