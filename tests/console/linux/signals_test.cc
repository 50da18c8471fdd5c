// The stop that Ctrl-Z asks for, against a SIGCONT that overtakes it: behind a wrapper (sh -c,
// make) the shell sees the wrapper stop at once and may continue the job before the program
// has put the terminal back and stopped itself.
#include "console/linux/signals.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qv {
namespace {

TEST(SignalPipe, AStopOvertakenByItsContinueDoesNotHappen) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signalPipe::install();
    raise(SIGTSTP);
    const int stopSignal = signalPipe::takeStop();
    raise(SIGCONT);  // fg, typed while the terminal was being put back
    const bool continued = signalPipe::stopProcess(stopSignal);
    _exit(stopSignal == SIGTSTP && continued ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, WUNTRACED), child);
  if (WIFSTOPPED(status)) {
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    FAIL() << "stopped after it had been continued: nobody would continue it again";
  }
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
}  // namespace qv
