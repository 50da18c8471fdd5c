// A minimal job-control shell for one program, so that Ctrl-Z can really stop it: a program
// started straight in a new pseudo-terminal leads an orphaned process group, and the kernel
// discards the stop signals of such a group. Usage: job_shim PROGRAM [ARGUMENTS...]
// The program runs in a foreground process group of its own. When it stops, the shim takes
// the terminal back, writes "[shim] fermato da <signal number>", and waits for a line, as a
// shell would for a command:
//   bg    continues the group in the background (the shim keeps the terminal);
//   kill N  sends signal N (SIGTERM without N), then SIGCONT, to the stopped group, as a
//           shell's kill %1 does;
//   anything else (fg) gives the terminal back to the group and continues it.
// It ends with the program's exit code (128 + the signal's number when a signal ended it).
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

// Whether every process of the group has stopped (a wrapper such as sh -c stops at once, while
// the program it started still hands the terminal back).
bool groupStopped(pid_t group) {
  DIR* processes = opendir("/proc");
  if (processes == nullptr) return true;
  bool stopped = true;
  while (const dirent* entry = readdir(processes)) {
    char path[300], stat[512] = {};
    std::snprintf(path, sizeof path, "/proc/%s/stat", entry->d_name);
    FILE* file = std::fopen(path, "r");
    if (file == nullptr) continue;
    const bool read = std::fgets(stat, sizeof stat, file) != nullptr;
    std::fclose(file);
    const char* afterName = read ? std::strrchr(stat, ')') : nullptr;
    char state = 0;
    int parent = 0, processGroup = 0;
    if (afterName != nullptr &&
        std::sscanf(afterName, ") %c %d %d", &state, &parent, &processGroup) == 3 &&
        processGroup == group && state != 'T' && state != 't' && state != 'Z') {
      stopped = false;
    }
  }
  closedir(processes);
  return stopped;
}

int main(int argc, char** argv) {
  const int terminal = open("/dev/tty", O_RDWR | O_CLOEXEC);
  if (argc < 2 || terminal < 0) return 2;
  signal(SIGTTOU, SIG_IGN);  // taking the terminal back from a stopped group
  const pid_t child = fork();
  if (child < 0) return 2;
  if (child == 0) {
    setpgid(0, 0);
    tcsetpgrp(terminal, getpid());
    signal(SIGTTOU, SIG_DFL);
    execv(argv[1], argv + 1);
    _exit(127);
  }
  setpgid(child, child);
  tcsetpgrp(terminal, child);
  for (int status = 0; waitpid(child, &status, WUNTRACED) == child;) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    // As a shell, the job is reported stopped once all of it has stopped.
    while (!groupStopped(child)) usleep(1000);
    tcsetpgrp(terminal, getpgrp());
    char notice[64];
    const int length =
        std::snprintf(notice, sizeof notice, "\r\n[shim] fermato da %d\r\n", WSTOPSIG(status));
    char line[64] = {};
    if (write(terminal, notice, std::size_t(length)) < 0 ||
        read(terminal, line, sizeof line - 1) < 0) {
      return 2;
    }
    if (std::strncmp(line, "kill", 4) == 0) {
      const int signalNumber = std::atoi(line + 4);
      kill(-child, signalNumber > 0 ? signalNumber : SIGTERM);
    } else if (std::strncmp(line, "bg", 2) != 0) {
      tcsetpgrp(terminal, child);
    }
    kill(-child, SIGCONT);
  }
  return 2;
}
