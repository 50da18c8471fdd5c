#include "pty_session.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace qv {

namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point deadlineIn(double seconds) {
  return Clock::now() + std::chrono::duration_cast<Clock::duration>(
                            std::chrono::duration<double>(scaledSeconds(seconds)));
}

void setNonBlocking(int fd) {
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
}

// Reads what a non-blocking descriptor holds, up to a megabyte, so that a program that writes
// without pause cannot keep the caller from looking at what came; false once it reached its
// end.
bool drainInto(int fd, std::string& out) {
  constexpr std::size_t mostAtOnce = 1 << 20;
  char chunk[4096];
  for (std::size_t taken = 0; taken < mostAtOnce;) {
    ssize_t n = read(fd, chunk, sizeof chunk);
    if (n > 0) {
      out.append(chunk, size_t(n));
      taken += size_t(n);
    } else if (!(n < 0 && errno == EINTR)) {
      return n < 0 && errno == EAGAIN;
    }
  }
  return true;
}

void execCommand(const std::vector<std::string>& command) {
  std::vector<char*> argv;
  for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);
  execv(argv[0], argv.data());
}

// The program may be one of the host's (a shell) or one built for the target: the kernel
// refuses the latter with ENOEXEC when the target is another processor, and the emulator
// starts it instead, as the kernel would with the emulator registered for the format.
[[noreturn]] void execProgram(const std::string& program, const std::vector<std::string>& args,
                              const std::vector<std::string>& environment,
                              const std::function<void()>& inChild) {
  // The program starts as from an interactive shell, whoever started the tests: SIGPIPE is
  // ignored by the tests themselves, SIGINT and SIGQUIT by a shell for a job in the background,
  // SIGHUP by nohup.
  for (const int signalNumber : {SIGPIPE, SIGINT, SIGQUIT, SIGHUP}) signal(signalNumber, SIG_DFL);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  const rlimit noCoreFile = {0, 0};  // the tests end programs by SIGQUIT, SIGABRT and the like
  setrlimit(RLIMIT_CORE, &noCoreFile);
  setTerminalEnvironment(environment);
  std::vector<std::string> command = {program};
  command.insert(command.end(), args.begin(), args.end());
  if (inChild) inChild();
  execCommand(command);
  if (errno == ENOEXEC) {
    std::vector<std::string> emulated = targetCommand(program);
    if (emulated.size() > 1) {
      emulated.insert(emulated.end(), args.begin(), args.end());
      execCommand(emulated);
    }
  }
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

std::vector<std::string> targetCommand(const std::string& program) {
  std::vector<std::string> command;
#ifdef QV_TARGET_EMULATOR
  const std::string emulator = QV_TARGET_EMULATOR;  // words separated by single spaces
  for (std::size_t at = 0, end; at < emulator.size(); at = end + 1) {
    end = std::min(emulator.find(' ', at), emulator.size());
    command.push_back(emulator.substr(at, end - at));
  }
#endif
  command.push_back(program);
  return command;
}

PtySession::PtySession(PtyOptions options)
    : screen_(options.rows, options.cols), typeOnlyWhenRaw_(options.typeOnlyWhenRaw) {
  screen_.setOutputCallback([this](std::string_view answer) {
    if (holdAnswers_) {
      heldAnswers_ += answer;
    } else {
      send(answer);
    }
  });
  start(options);
}

PtySession::~PtySession() {
  if (!reaped_) process_.kill();
  if (process_.master >= 0) close(process_.master);
}

void PtySession::start(const PtyOptions& options) {
  // The whole of the piped input waits in the pipe, and its end with it, before the program
  // starts (a pipe holds 64 KiB).
  int input[2] = {-1, -1};
  if (options.pipedInput) {
    const std::string& text = *options.pipedInput;
    if (pipe2(input, O_CLOEXEC) != 0) return;
    const bool written = write(input[1], text.data(), text.size()) == ssize_t(text.size());
    close(input[1]);
    if (!written) return;
  }
  initial_ = freshTerminalSettings();
  if (options.adjustSettings) options.adjustSettings(initial_);
  process_ = PtyProcess::start(options.rows, options.cols, &initial_, [&] {
    if (input[0] >= 0) dup2(input[0], STDIN_FILENO);
    execProgram(options.program, options.arguments, options.environment, options.inChild);
  });
  if (input[0] >= 0) close(input[0]);
  if (process_.pid < 0) return;
  setNonBlocking(process_.master);
  fcntl(process_.master, F_SETFD, FD_CLOEXEC);  // other sessions' children must not hold it open
}

void PtySession::send(std::string_view bytes) {
  if (process_.master < 0) return;
  const auto deadline = deadlineIn(defaultTimeout);
  while (typeOnlyWhenRaw_ && (currentSettings().c_lflag & ICANON) != 0 && !reaped_ &&
         Clock::now() < deadline) {
    pumpFor(std::chrono::milliseconds(5));
  }
  while (!bytes.empty()) {
    ssize_t n = write(process_.master, bytes.data(), bytes.size());
    if (n > 0) {
      bytes.remove_prefix(size_t(n));
    } else if (n < 0 && errno == EAGAIN && Clock::now() < deadline) {
      pumpFor(std::chrono::milliseconds(10));  // the program has to read first
    } else if (!(n < 0 && errno == EINTR)) {
      return;  // the program has gone; the waits that follow say so
    }
  }
}

void PtySession::readMaster() {
  std::string chunk;
  // EIO at the end: no process holds the terminal open any more.
  if (!drainInto(process_.master, chunk)) masterClosed_ = true;
  received_ += chunk;
  screen_.feed(chunk);
}

void PtySession::pumpFor(Clock::duration timeout) {
  if (process_.pid <= 0) return;
  pollfd master = {process_.master, POLLIN, 0};
  int ms = int(std::chrono::ceil<std::chrono::milliseconds>(timeout).count());
  // With the terminal closed only the child's end is awaited: look again every few ms.
  if (masterClosed_ && !reaped_) ms = std::min(ms, 5);
  if (poll(&master, masterClosed_ ? 0 : 1, ms) > 0) readMaster();
  reap(false);
}

void PtySession::reap(bool block) {
  if (!reaped_) reaped_ = process_.reap(block, status_);
}

testing::AssertionResult PtySession::waitFor(
    const std::function<bool(const VtermScreen&)>& predicate, std::string_view what,
    double seconds) {
  // Output that keeps coming is progress: the wait ends after its time without any, or after
  // four times its time in all, so a loaded machine is waited for and a stuck program is not.
  const Clock::duration wait = deadlineIn(seconds) - Clock::now();
  const auto lastChance = Clock::now() + 4 * wait;
  auto deadline = Clock::now() + wait;
  std::size_t seen = received_.size();
  for (;;) {
    if (predicate(screen_)) return testing::AssertionSuccess();
    const auto now = Clock::now();
    if (received_.size() != seen) {
      seen = received_.size();
      deadline = std::min(lastChance, now + wait);
    }
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
  // After the end, what the program wrote is still in the buffers: read until they close.
  testing::AssertionResult ended =
      waitFor([this](const VtermScreen&) { return reaped_ && masterClosed_; },
              "the end of the program", seconds);
  // Something else may still hold the terminal open after the program has ended.
  return reaped_ ? testing::AssertionSuccess() : ended;
}

int PtySession::exitCode() const {
  return reaped_ && WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
}

int PtySession::terminatingSignal() const {
  return reaped_ && WIFSIGNALED(status_) ? WTERMSIG(status_) : 0;
}

termios PtySession::currentSettings() const {
  termios now{};
  if (process_.master >= 0) tcgetattr(process_.master, &now);
  return now;
}

testing::AssertionResult PtySession::waitForSettingsRestored(double seconds) {
  return waitFor(
      [this](const VtermScreen&) {
        const termios now = currentSettings();
        return now.c_iflag == initial_.c_iflag && now.c_oflag == initial_.c_oflag &&
               now.c_cflag == initial_.c_cflag && now.c_lflag == initial_.c_lflag &&
               now.c_cc[VMIN] == initial_.c_cc[VMIN] && now.c_cc[VTIME] == initial_.c_cc[VTIME];
      },
      "the terminal settings of the start", seconds);
}

void PtySession::resize(int rows, int cols) {
  screen_.resize(rows, cols);
  process_.resize(rows, cols);
}

void PtySession::releaseAnswers() {
  send(std::exchange(heldAnswers_, {}));
}

void PtySession::pause(double seconds) {
  const auto until = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                        std::chrono::duration<double>(seconds));
  for (auto now = Clock::now(); now < until; now = Clock::now()) pumpFor(until - now);
}

void PtySession::signal(int signalNumber) {
  if (process_.pid > 0 && !reaped_) kill(process_.pid, signalNumber);
}

void PtySession::hangUp() {
  if (process_.master >= 0) close(process_.master);
  process_.master = -1;
  masterClosed_ = true;
}

std::string PtySession::report() const {
  std::string text = screen_.dump();
  if (reaped_) text += "ended with status " + std::to_string(status_) + "\n";
  return text;
}

testing::AssertionResult PtySession::failure(std::string_view what) const {
  return testing::AssertionFailure() << "waited in vain for " << what << "\n" << report();
}

testing::AssertionResult endsAsFound(PtySession& session, Ending ending) {
  if (testing::AssertionResult ended = session.waitForExit(); !ended) return ended;
  if (session.exitCode() != ending.exitCode || session.terminatingSignal() != ending.signal) {
    return testing::AssertionFailure()
           << "ended with exit code " << session.exitCode() << " and signal "
           << session.terminatingSignal() << ", expected " << ending.exitCode << " and "
           << ending.signal << "\n"
           << session.report();
  }
  if (!session.screen().cursor().visible) {
    return testing::AssertionFailure() << "the cursor is left hidden\n" << session.report();
  }
  const std::string& bytes = session.received();
  const std::size_t wrapOff = bytes.rfind("\x1b[?7l"), wrapOn = bytes.rfind("\x1b[?7h");
  if (wrapOff != std::string::npos && (wrapOn == std::string::npos || wrapOn < wrapOff)) {
    return testing::AssertionFailure() << "auto-wrap is left off\n" << session.report();
  }
  return session.waitForSettingsRestored();
}

std::vector<std::string> rowsStartingWith(const VtermScreen& screen, const std::string& prefix) {
  std::vector<std::string> rows = screen.scrollbackText();
  for (int row = 0; row < screen.rows(); ++row) rows.push_back(screen.rowText(row));
  std::vector<std::string> found;
  for (const std::string& row : rows) {
    if (row.starts_with(prefix)) found.push_back(row.substr(prefix.size()));
  }
  return found;
}

DetachedRun runWithoutTerminal(const std::string& program, double seconds,
                               const std::vector<std::string>& arguments,
                               const std::string& standardOutput,
                               const std::function<void()>& inChild) {
  // Standard output and error go to files, read when the program has ended: unlike a pipe, a
  // file never holds the program up.
  std::string paths[2] = {"/tmp/qv-out-XXXXXX", "/tmp/qv-err-XXXXXX"};
  const int out = mkostemp(paths[0].data(), O_CLOEXEC), err = mkostemp(paths[1].data(), O_CLOEXEC);
  const pid_t pid = out >= 0 && err >= 0 ? fork() : -1;
  if (pid == 0) {
    setsid();  // a new session has no controlling terminal until it opens one itself
    dup2(open("/dev/null", O_RDONLY), STDIN_FILENO);
    dup2(standardOutput.empty() ? out : open(standardOutput.c_str(), O_WRONLY), STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    execProgram(program, arguments, {}, inChild);
  }
  DetachedRun run;
  int status = 0;
  const auto deadline = deadlineIn(seconds);
  while (pid > 0 && waitpid(pid, &status, WNOHANG) == 0) {
    if (Clock::now() >= deadline) kill(pid, SIGKILL);  // it outlived its deadline
    poll(nullptr, 0, 5);
  }
  if (pid > 0 && WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
  if (pid > 0 && WIFSIGNALED(status)) run.terminatingSignal = WTERMSIG(status);
  for (const int fd : {out, err}) {
    std::string& text = fd == out ? run.stdoutText : run.stderrText;
    lseek(fd, 0, SEEK_SET);
    while (drainInto(fd, text)) {
    }
    close(fd);
  }
  for (const std::string& path : paths) unlink(path.c_str());
  return run;
}

}  // namespace qv
