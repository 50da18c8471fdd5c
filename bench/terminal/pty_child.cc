#include "terminal/pty_child.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace qv::bench {

namespace {

constexpr std::size_t drainChunk = 1 << 20;
constexpr std::uint8_t escapeByte = 0x1B;

int millisecondsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() < 0 ? 0 : int(left.count());
}

Clock::time_point deadlineIn(double seconds) {
  return Clock::now() +
         std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

}  // namespace

bool ChildEnd::exitedWith(int code) const {
  return reaped && WIFEXITED(status) && WEXITSTATUS(status) == code;
}

void execProgram(const std::vector<std::string>& argv,
                 const std::vector<std::string>& environment) {
  setTerminalEnvironment(environment);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  execv(args[0], args.data());
  std::fprintf(stderr, "cannot start %s: %s\n", args[0], std::strerror(errno));
  _exit(127);
}

PtyChild PtyChild::exec(const std::vector<std::string>& argv,
                        const std::vector<std::string>& environment) {
  return start([&] { execProgram(argv, environment); });
}

PtyChild PtyChild::fork(const std::function<int()>& body) {
  return start([&] { _exit(body()); });
}

PtyChild PtyChild::start(const std::function<void()>& inChild) {
  PtyChild child;
  child.start_ = Clock::now();
  // No termios given: the kernel's defaults, which are what a terminal program meets.
  child.process_ = PtyProcess::start(terminalRows, terminalColumns, nullptr, inChild);
  return child;
}

PtyChild::PtyChild(PtyChild&& other) noexcept
    : process_(other.process_),
      ended_(other.ended_),
      promptSeen_(other.promptSeen_),
      bytes_(other.bytes_),
      start_(other.start_),
      escape_(other.escape_),
      lastText_(other.lastText_) {
  other.process_ = {};
}

PtyChild::~PtyChild() {
  kill();
  if (process_.master >= 0) close(process_.master);
}

void PtyChild::kill() {
  process_.kill();
  process_.pid = -1;
}

void PtyChild::send(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = write(process_.master, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    bytes.remove_prefix(std::size_t(n));
  }
}

void PtyChild::resize(int rows, int columns) {
  process_.resize(rows, columns);
}

bool PtyChild::readSome(int timeoutMs) {
  if (ended_ || process_.master < 0) return false;
  pollfd readable{process_.master, POLLIN, 0};
  const int ready = poll(&readable, 1, timeoutMs);
  if (ready < 0 && errno != EINTR) ended_ = true;
  if (ready <= 0) return !ended_;
  static char chunk[drainChunk];
  const ssize_t n = read(process_.master, chunk, sizeof chunk);
  if (n > 0) {
    bytes_ += n;
    if (!promptSeen_) scanForPrompt(chunk, std::size_t(n));
  } else if (n == 0 || errno != EINTR) {
    ended_ = true;  // EIO: the slave side is closed for good
  }
  return !ended_;
}

// Escape sequences are stepped over, so that "=>" is found only as text on the screen.
void PtyChild::scanForPrompt(const char* bytes, std::size_t count) {
  for (std::size_t i = 0; i < count && !promptSeen_; ++i) {
    const auto byte = std::uint8_t(bytes[i]);
    switch (escape_) {
      case Escape::started:
        escape_ = byte == '[' ? Escape::csi : Escape::none;
        continue;
      case Escape::csi:
        if (byte >= 0x40 && byte <= 0x7E) escape_ = Escape::none;
        continue;
      case Escape::none:
        break;
    }
    if (byte == escapeByte) {
      escape_ = Escape::started;
      continue;
    }
    promptSeen_ = lastText_ == '=' && byte == '>';
    lastText_ = char(byte);
  }
}

bool PtyChild::waitForPrompt(double seconds) {
  const Clock::time_point deadline = deadlineIn(seconds);
  while (!promptSeen_ && Clock::now() < deadline && readSome(millisecondsLeft(deadline))) {
  }
  return promptSeen_;
}

void PtyChild::drainFor(double seconds) {
  const Clock::time_point deadline = deadlineIn(seconds);
  while (Clock::now() < deadline && readSome(millisecondsLeft(deadline))) {
  }
}

ChildEnd PtyChild::finish(double seconds) {
  const Clock::time_point deadline = deadlineIn(seconds);
  while (Clock::now() < deadline && readSome(millisecondsLeft(deadline))) {
  }
  ChildEnd end;
  end.bytes = bytes_;
  if (!ended_) {  // still writing at the deadline
    kill();
    return end;
  }
  end.reaped = process_.reap(true, end.status, &end.usage);
  end.seconds = std::chrono::duration<double>(Clock::now() - start_).count();
  process_.pid = -1;
  return end;
}

}  // namespace qv::bench
