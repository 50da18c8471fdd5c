#include "console/linux/signals.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "runtime/linux/signal_end.h"
#include "runtime/run_error.h"

namespace qv::signalPipe {

namespace {

// Every signal whose default action ends the process, but for the processor faults (SIGSEGV,
// SIGBUS, SIGILL, SIGFPE, SIGTRAP), which the fault handler owns; the real-time signals are
// added at run time.
constexpr int endingSignals[] = {
    SIGHUP,    SIGINT,  SIGQUIT,   SIGABRT, SIGUSR1, SIGUSR2, SIGPIPE, SIGALRM, SIGTERM,
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
    SIGXCPU,   SIGXFSZ, SIGVTALRM, SIGPROF, SIGIO,   SIGPWR,  SIGSYS,
};
constexpr int stopSignals[] = {SIGTSTP, SIGTTIN, SIGTTOU};
constexpr int noticeSignals[] = {SIGCONT, SIGWINCH};

int readEnd = -1;
volatile std::sig_atomic_t writeEnd = -1;
volatile std::sig_atomic_t firstEndingSignal = 0;
volatile std::sig_atomic_t stopSignal = 0;
volatile std::sig_atomic_t continued = 0;
volatile std::sig_atomic_t resized = 0;

bool isInstalled = false;
bool ours[NSIG] = {};
struct sigaction previous[NSIG];

bool isStopSignal(int signalNumber) {
  return signalNumber == SIGTSTP || signalNumber == SIGTTIN || signalNumber == SIGTTOU;
}

// abort() (an allocation that failed, a broken invariant) raises SIGABRT in this process;
// another process sends it with kill.
bool raisedHere(const siginfo_t* info) {
  return info != nullptr && info->si_code <= 0 && info->si_pid == getpid();
}

void onSignal(int signalNumber, siginfo_t* info, void*) {
  const int savedErrno = errno;
  if (signalNumber == SIGABRT && raisedHere(info)) {
    // abort() does not return to the program: there is no safe point to wait for.
    runEmergencyRestore();
    endProcessBySignal(signalNumber, 128 + signalNumber);
  }
  if (signalNumber == SIGCONT) {
    continued = 1;
    stopSignal = 0;
  } else if (signalNumber == SIGWINCH) {
    resized = 1;
  } else if (isStopSignal(signalNumber)) {
    stopSignal = signalNumber;
  } else if (firstEndingSignal == 0) {
    firstEndingSignal = signalNumber;
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

bool isIgnored(const struct sigaction& action) {
  return (action.sa_flags & SA_SIGINFO) == 0 && action.sa_handler == SIG_IGN;
}

void handle(int signalNumber, bool keepIgnored) {
  struct sigaction found {};
  if (sigaction(signalNumber, nullptr, &found) != 0) return;
  if (keepIgnored && isIgnored(found)) return;
  struct sigaction action {};
  action.sa_sigaction = onSignal;
  action.sa_flags = SA_SIGINFO;  // and no SA_RESTART: blocked writes must come back
  sigemptyset(&action.sa_mask);
  if (sigaction(signalNumber, &action, nullptr) != 0) return;
  previous[signalNumber] = found;
  ours[signalNumber] = true;
}

}  // namespace

bool install() {
  if (isInstalled) return true;
  if (!makePipe()) return false;
  for (int signalNumber : endingSignals) handle(signalNumber, true);
  for (int signalNumber = SIGRTMIN; signalNumber <= SIGRTMAX; ++signalNumber) {
    handle(signalNumber, true);
  }
  for (int signalNumber : stopSignals) handle(signalNumber, true);
  for (int signalNumber : noticeSignals) handle(signalNumber, false);
  isInstalled = true;
  return true;
}

void uninstall() {
  if (!isInstalled) return;
  for (int signalNumber = 1; signalNumber < NSIG; ++signalNumber) {
    if (ours[signalNumber]) sigaction(signalNumber, &previous[signalNumber], nullptr);
    ours[signalNumber] = false;
  }
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
  return firstEndingSignal != 0 || stopSignal != 0 || continued || resized;
}

bool urgent() {
  return firstEndingSignal != 0 || stopSignal != 0;
}

int endingSignal() {
  return firstEndingSignal;
}

namespace {
// Reads and clears a flag a handler raised; signals of one kind that arrive before the check
// count as one, which is all the caller needs to know.
int take(volatile std::sig_atomic_t& flag) {
  const int value = flag;
  if (value != 0) flag = 0;
  return value;
}
}  // namespace

// A stop taken here is answered by stopProcess(); a SIGCONT from now on means the process was
// continued before it could stop (a wrapper or a shell in between stopped first and the user
// typed fg at once), and the stop must not happen any more.
int takeStop() {
  const int signalNumber = take(stopSignal);
  if (signalNumber != 0) continued = 0;
  return signalNumber;
}
bool takeContinue() {
  return take(continued) != 0;
}
bool takeResize() {
  return take(resized) != 0;
}

bool stopProcess(int signalNumber) {
  if (!isInstalled || !ours[signalNumber]) return false;
  struct sigaction standard {
  }, own{};
  standard.sa_handler = SIG_DFL;
  sigemptyset(&standard.sa_mask);
  sigaction(signalNumber, &standard, &own);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signalNumber);
  sigprocmask(SIG_UNBLOCK, &only, nullptr);
  // Continued already: stopping now would wait for a SIGCONT that has come and gone.
  if (continued == 0) raise(signalNumber);  // stops here; SIGCONT's handler runs first
  sigaction(signalNumber, &own, nullptr);
  return continued != 0;
}

void waitForSignal(int milliseconds) {
  pollfd wake{readEnd, POLLIN, 0};
  if (poll(&wake, 1, milliseconds) > 0) drain();
}

void reset() {
  uninstall();
  drain();
  firstEndingSignal = 0;
  stopSignal = 0;
  continued = 0;
  resized = 0;
}

}  // namespace qv::signalPipe
