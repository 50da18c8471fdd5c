#include "terminal/pipe_child.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace qv::bench {

ChildEnd runIntoPipe(const std::vector<std::string>& argv,
                     const std::vector<std::string>& environment, double seconds) {
  ChildEnd end;
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return end;
  std::fflush(nullptr);
  const Clock::time_point start = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(ends[1], STDOUT_FILENO);
    execProgram(argv, environment);
  }
  close(ends[1]);
  const Clock::time_point deadline =
      start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  static char chunk[1 << 20];
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    pollfd watched{ends[0], POLLIN, 0};
    if (left <= 0 || poll(&watched, 1, int(left)) == 0) break;
    const ssize_t n = read(ends[0], chunk, sizeof chunk);
    if (n > 0) end.bytes += n;
    if (n == 0 || (n < 0 && errno != EINTR)) break;
  }
  close(ends[0]);
  if (pid < 0) return end;
  if (Clock::now() >= deadline) kill(pid, SIGKILL);
  end.reaped = wait4(pid, &end.status, 0, &end.usage) == pid;
  end.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return end;
}

}  // namespace qv::bench
