#include "pty_session.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace qv {

namespace {

constexpr std::size_t logEntryLimit = 160;  // bytes shown per log entry
constexpr std::size_t logLimit = 400;       // entries kept

std::string escaped(std::string_view bytes) {
  std::string text;
  for (unsigned char c : bytes.substr(0, logEntryLimit)) {
    if (c == '\\') {
      text += "\\\\";
    } else if (c >= 0x20 && c < 0x7F) {
      text += char(c);
    } else {
      char code[8];
      std::snprintf(code, sizeof code, "\\x%02X", c);
      text += code;
    }
  }
  if (bytes.size() > logEntryLimit) text += "... (" + std::to_string(bytes.size()) + " bytes)";
  return text;
}

std::string describeStatus(int status) {
  if (WIFEXITED(status)) return "exit code " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return "killed by signal " + std::to_string(WTERMSIG(status));
  return "status " + std::to_string(status);
}

void setNonBlocking(int fd) {
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
}

// Reads everything a non-blocking descriptor holds; false once it reached its end.
bool drainInto(int fd, std::string& out) {
  char chunk[4096];
  for (;;) {
    ssize_t n = read(fd, chunk, sizeof chunk);
    if (n > 0) {
      out.append(chunk, size_t(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    return n < 0 && errno == EAGAIN;
  }
}

[[noreturn]] void execProgram(const std::string& program, const std::vector<std::string>& args,
                              const std::vector<std::string>& environment) {
  signal(SIGPIPE, SIG_DFL);  // the tests ignore it; the program must not inherit that
  setenv("TERM", "xterm-256color", 1);
  setenv("LANG", "C.UTF-8", 1);
  unsetenv("LC_ALL");
  for (const std::string& entry : environment) putenv(const_cast<char*>(entry.c_str()));
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  execv(program.c_str(), argv.data());
  std::fprintf(stderr, "cannot start %s: %s\n", program.c_str(), std::strerror(errno));
  _exit(127);
}

// The settings a new pseudo-terminal starts with (the kernel's cooked defaults), known before
// the program starts: read back afterwards, they might already be the program's.
termios freshTerminalSettings() {
  static const termios settings = [] {
    termios t{};
    int master = -1, slave = -1;
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) == 0) {
      tcgetattr(slave, &t);
      close(master);
      close(slave);
    }
    return t;
  }();
  return settings;
}

}  // namespace

double scaledSeconds(double seconds) {
  const char* scale = std::getenv("QV_TEST_TIMEOUT_SCALE");
  double factor = scale ? std::atof(scale) : 1.0;
  return seconds * (factor > 0 ? factor : 1.0);
}

std::string programPath() {
  return QV_PROGRAM_PATH;
}

std::string helperBesideTests(std::string_view name) {
  std::string path = programPath();
  return path.substr(0, path.rfind('/') + 1) + "tests/" + std::string(name);
}

PtySession::PtySession(PtyOptions options)
    : screen_(options.rows, options.cols), startTime_(Clock::now()) {
  screen_.setOutputCallback([this](std::string_view answer) { send(answer); });
  start(options);
}

PtySession::~PtySession() {
  if (pid_ > 0 && !reaped_) {
    kill(-pid_, SIGKILL);  // its process group: it leads one of its own
    reap(true);
  }
  for (int fd : {master_, inputPipe_, outputPipe_}) {
    if (fd >= 0) close(fd);
  }
}

void PtySession::start(const PtyOptions& options) {
  // Piped input that the program leaves unread must not end the test process.
  ::signal(SIGPIPE, SIG_IGN);
  int input[2] = {-1, -1};
  int output[2] = {-1, -1};
  if (options.pipedInput && pipe2(input, O_CLOEXEC) != 0) return;
  if (options.captureStdout && pipe2(output, O_CLOEXEC) != 0) return;

  winsize size{};
  size.ws_row = static_cast<unsigned short>(options.rows);
  size.ws_col = static_cast<unsigned short>(options.cols);
  initial_ = freshTerminalSettings();
  pid_ = forkpty(&master_, nullptr, &initial_, &size);
  if (pid_ == 0) {
    if (input[0] >= 0) dup2(input[0], STDIN_FILENO);
    if (output[1] >= 0) dup2(output[1], STDOUT_FILENO);
    execProgram(options.program, options.arguments, options.environment);
  }
  if (input[0] >= 0) close(input[0]);
  if (output[1] >= 0) close(output[1]);
  inputPipe_ = input[1];
  outputPipe_ = output[0];
  if (pid_ < 0) {
    note('!', std::string("forkpty failed: ") + std::strerror(errno));
    return;
  }
  setNonBlocking(master_);
  fcntl(master_, F_SETFD, FD_CLOEXEC);  // other sessions' children must not hold it open
  note('!', "started " + options.program);
  if (inputPipe_ >= 0) {
    setNonBlocking(inputPipe_);
    pendingInput_ = *options.pipedInput;
    feedPipedInput();
  }
  if (outputPipe_ >= 0) setNonBlocking(outputPipe_);
}

void PtySession::note(char direction, std::string_view bytes) {
  double ms = std::chrono::duration<double, std::milli>(Clock::now() - startTime_).count();
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%9.1f ms %c ", ms, direction);
  if (log_.size() == logLimit) log_.erase(log_.begin());
  log_.push_back(stamp + escaped(bytes));
}

void PtySession::send(std::string_view bytes) {
  if (master_ < 0) return;
  note('>', bytes);
  const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                           std::chrono::duration<double>(scaledSeconds(10)));
  while (!bytes.empty()) {
    ssize_t n = write(master_, bytes.data(), bytes.size());
    if (n > 0) {
      bytes.remove_prefix(size_t(n));
    } else if (n < 0 && errno == EAGAIN && Clock::now() < deadline) {
      pumpFor(std::chrono::milliseconds(10));  // the program has to read first
    } else if (!(n < 0 && errno == EINTR)) {
      note('!', "write to the terminal failed");
      return;
    }
  }
}

void PtySession::feedPipedInput() {
  while (inputPipe_ >= 0 && !pendingInput_.empty()) {
    ssize_t n = write(inputPipe_, pendingInput_.data(), pendingInput_.size());
    if (n > 0) {
      pendingInput_.erase(0, size_t(n));
    } else if (n < 0 && errno == EAGAIN) {
      return;
    } else if (!(n < 0 && errno == EINTR)) {
      pendingInput_.clear();  // nobody reads any more
    }
  }
  if (inputPipe_ >= 0 && pendingInput_.empty()) {
    close(inputPipe_);
    inputPipe_ = -1;
    note('!', "piped input ended");
  }
}

bool PtySession::readMaster() {
  std::string chunk;
  bool open = drainInto(master_, chunk);
  if (!chunk.empty()) {
    note('<', chunk);
    received_ += chunk;
    screen_.feed(chunk);
  }
  if (!open && !masterClosed_) {
    masterClosed_ = true;  // EIO: no process holds the terminal open any more
    note('!', "terminal closed");
  }
  return !chunk.empty();
}

void PtySession::readStdout() {
  if (outputPipe_ < 0) return;
  if (!drainInto(outputPipe_, stdout_)) {
    close(outputPipe_);
    outputPipe_ = -1;
  }
}

void PtySession::pumpFor(Clock::duration timeout) {
  if (pid_ <= 0) return;
  pollfd fds[3];
  nfds_t count = 0;
  if (!masterClosed_) fds[count++] = {master_, POLLIN, 0};
  if (outputPipe_ >= 0) fds[count++] = {outputPipe_, POLLIN, 0};
  if (inputPipe_ >= 0) fds[count++] = {inputPipe_, POLLOUT, 0};
  int ms = int(std::chrono::ceil<std::chrono::milliseconds>(timeout).count());
  // With nothing left to watch only the child's end is awaited: look again every few ms.
  if (count == 0 && !reaped_) ms = std::min(ms, 5);
  if (poll(fds, count, ms) > 0) {
    if (!masterClosed_) readMaster();
    readStdout();
    feedPipedInput();
  }
  reap(false);
}

void PtySession::reap(bool block) {
  if (pid_ <= 0 || reaped_) return;
  int status = 0;
  pid_t done;
  do {
    done = waitpid(pid_, &status, block ? 0 : WNOHANG);
  } while (done < 0 && errno == EINTR);
  if (done == pid_) {
    reaped_ = true;
    status_ = status;
    note('!', describeStatus(status));
  }
}

testing::AssertionResult PtySession::waitFor(
    const std::function<bool(const VtermScreen&)>& predicate, std::string_view what,
    double seconds) {
  const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                           std::chrono::duration<double>(scaledSeconds(seconds)));
  for (;;) {
    if (predicate(screen_)) return testing::AssertionSuccess();
    const auto now = Clock::now();
    if (now >= deadline) return failure(what);
    if (masterClosed_ && reaped_) {
      return failure(std::string(what) + " (the program has ended)");
    }
    pumpFor(std::min<Clock::duration>(deadline - now, std::chrono::milliseconds(100)));
  }
}

testing::AssertionResult PtySession::waitForText(std::string_view text, double seconds) {
  std::string wanted(text);
  return waitFor([&](const VtermScreen& s) { return s.contains(wanted); },
                 "the text \"" + wanted + "\"", seconds);
}

testing::AssertionResult PtySession::waitForExit(double seconds) {
  const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                           std::chrono::duration<double>(scaledSeconds(seconds)));
  // After the end, what the program wrote is still in the buffers: read until they close.
  while (!(reaped_ && masterClosed_ && outputPipe_ < 0)) {
    const auto now = Clock::now();
    if (now >= deadline) {
      if (reaped_) break;  // something else still holds the terminal open
      return failure("the end of the program");
    }
    pumpFor(std::min<Clock::duration>(deadline - now, std::chrono::milliseconds(100)));
  }
  return testing::AssertionSuccess();
}

int PtySession::exitCode() const {
  return reaped_ && WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
}

int PtySession::terminatingSignal() const {
  return reaped_ && WIFSIGNALED(status_) ? WTERMSIG(status_) : 0;
}

termios PtySession::currentSettings() const {
  termios now{};
  if (master_ >= 0) tcgetattr(master_, &now);
  return now;
}

testing::AssertionResult PtySession::terminalSettingsRestored() const {
  const termios now = currentSettings();
  const termios& then = initial_;
  std::string differences;
  auto compare = [&](const char* name, unsigned long a, unsigned long b) {
    if (a == b) return;
    char line[128];
    std::snprintf(line, sizeof line, "  %s: was 0x%lX, now 0x%lX\n", name, a, b);
    differences += line;
  };
  compare("c_iflag", then.c_iflag, now.c_iflag);
  compare("c_oflag", then.c_oflag, now.c_oflag);
  compare("c_cflag", then.c_cflag, now.c_cflag);
  compare("c_lflag", then.c_lflag, now.c_lflag);
  compare("VMIN", then.c_cc[VMIN], now.c_cc[VMIN]);
  compare("VTIME", then.c_cc[VTIME], now.c_cc[VTIME]);
  if (differences.empty()) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "the terminal settings differ from the start:\n"
                                     << differences << report();
}

void PtySession::resize(int rows, int cols) {
  note('!', "resize to " + std::to_string(cols) + "x" + std::to_string(rows));
  screen_.resize(rows, cols);
  winsize size{};
  size.ws_row = static_cast<unsigned short>(rows);
  size.ws_col = static_cast<unsigned short>(cols);
  if (master_ >= 0) ioctl(master_, TIOCSWINSZ, &size);
}

void PtySession::signal(int signalNumber) {
  note('!', std::string("signal ") + strsignal(signalNumber));
  if (pid_ > 0 && !reaped_) kill(pid_, signalNumber);
}

std::string PtySession::report() const {
  std::string text = "screen (" + std::to_string(screen_.cols()) + "x" +
                     std::to_string(screen_.rows()) + "):\n" + screen_.dump();
  text += "\nlog (> sent, < received, ! event):\n";
  for (const std::string& line : log_) text += line + "\n";
  if (!stdout_.empty()) text += "standard output: " + escaped(stdout_) + "\n";
  return text;
}

testing::AssertionResult PtySession::failure(std::string_view what) const {
  return testing::AssertionFailure() << "waited in vain for " << what << "\n" << report();
}

DetachedRun runWithoutTerminal(const std::string& program, double seconds) {
  DetachedRun run;
  int out[2], err[2];
  if (pipe2(out, O_CLOEXEC) != 0) return run;
  if (pipe2(err, O_CLOEXEC) != 0) {
    close(out[0]);
    close(out[1]);
    return run;
  }
  pid_t pid = fork();
  if (pid == 0) {
    setsid();  // a new session has no controlling terminal until it opens one itself
    int devNull = open("/dev/null", O_RDONLY);
    dup2(devNull, STDIN_FILENO);
    dup2(out[1], STDOUT_FILENO);
    dup2(err[1], STDERR_FILENO);
    execProgram(program, {}, {});
  }
  close(out[1]);
  close(err[1]);
  setNonBlocking(out[0]);
  setNonBlocking(err[0]);
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                            std::chrono::duration<double>(scaledSeconds(seconds)));
  bool outOpen = true, errOpen = true;
  while ((outOpen || errOpen) && std::chrono::steady_clock::now() < deadline) {
    pollfd fds[2] = {{out[0], short(outOpen ? POLLIN : 0), 0},
                     {err[0], short(errOpen ? POLLIN : 0), 0}};
    poll(fds, 2, 100);
    if (outOpen) outOpen = drainInto(out[0], run.stdoutText);
    if (errOpen) errOpen = drainInto(err[0], run.stderrText);
  }
  close(out[0]);
  close(err[0]);
  if (pid < 0) return run;
  int status = 0;
  if (outOpen || errOpen) kill(pid, SIGKILL);  // it outlived its deadline
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) run.terminatingSignal = WTERMSIG(status);
  return run;
}

}  // namespace qv
