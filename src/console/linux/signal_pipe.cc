#include "console/linux/signal_pipe.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace qv::signalPipe {

namespace {

constexpr int handledSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP, SIGCONT, SIGWINCH};
constexpr int handledCount = sizeof handledSignals / sizeof handledSignals[0];

int readEnd = -1;
volatile std::sig_atomic_t writeEnd = -1;
volatile std::sig_atomic_t firstEndingSignal = 0;
volatile std::sig_atomic_t stopRequested = 0;
volatile std::sig_atomic_t continued = 0;
volatile std::sig_atomic_t resized = 0;

bool isInstalled = false;
struct sigaction previous[handledCount];

void onSignal(int signalNumber) {
  const int savedErrno = errno;
  switch (signalNumber) {
    case SIGTSTP:
      stopRequested = 1;
      break;
    case SIGCONT:
      continued = 1;
      break;
    case SIGWINCH:
      resized = 1;
      break;
    default:
      if (firstEndingSignal == 0) firstEndingSignal = signalNumber;
      break;
  }
  if (writeEnd >= 0) {
    const char wake = 0;
    [[maybe_unused]] ssize_t written = write(writeEnd, &wake, 1);  // a full pipe wakes anyway
  }
  errno = savedErrno;
}

bool makePipe() {
  if (readEnd >= 0) return true;
  int ends[2];
  if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  readEnd = ends[0];
  writeEnd = ends[1];
  return true;
}

}  // namespace

bool install() {
  if (isInstalled) return true;
  if (!makePipe()) return false;
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  // Restarting keeps reads and writes elsewhere in the program free of EINTR; poll() in the
  // key wait still returns early, which is what wakes it.
  action.sa_flags = SA_RESTART;
  for (int i = 0; i < handledCount; ++i) sigaction(handledSignals[i], &action, &previous[i]);
  isInstalled = true;
  return true;
}

void uninstall() {
  if (!isInstalled) return;
  for (int i = 0; i < handledCount; ++i) sigaction(handledSignals[i], &previous[i], nullptr);
  isInstalled = false;
}

bool installed() {
  return isInstalled;
}

int wakeDescriptor() {
  return readEnd;
}

void drain() {
  if (readEnd < 0) return;
  char bytes[64];
  while (read(readEnd, bytes, sizeof bytes) > 0) {
  }
}

bool pending() {
  return firstEndingSignal != 0 || stopRequested || continued || resized;
}

int endingSignal() {
  return firstEndingSignal;
}

namespace {
// Reads and clears a flag a handler raised; signals of one kind that arrive before the check
// count as one, which is all the caller needs to know.
bool take(volatile std::sig_atomic_t& flag) {
  if (!flag) return false;
  flag = 0;
  return true;
}
}  // namespace

bool takeStop() {
  return take(stopRequested);
}
bool takeContinue() {
  return take(continued);
}
bool takeResize() {
  return take(resized);
}

void stopProcess() {
  struct sigaction standard {
  }, ours{};
  standard.sa_handler = SIG_DFL;
  sigemptyset(&standard.sa_mask);
  sigaction(SIGTSTP, &standard, &ours);
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTSTP);
  sigprocmask(SIG_UNBLOCK, &stop, nullptr);
  raise(SIGTSTP);  // stops here; an orphaned process group discards it and goes on at once
  sigaction(SIGTSTP, &ours, nullptr);
}

void reset() {
  uninstall();
  drain();
  firstEndingSignal = 0;
  stopRequested = 0;
  continued = 0;
  resized = 0;
}

}  // namespace qv::signalPipe
