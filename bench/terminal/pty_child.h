// A child process on the slave side of a fresh 80x25 pseudo-terminal whose master is drained as
// fast as the bench can read it: the bytes are counted and dropped, never emulated, so that the
// reader is no slower for the program than for the references it is measured against.
#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "support/pty_process.h"

namespace qv::bench {

using Clock = std::chrono::steady_clock;

inline constexpr int terminalRows = 25;
inline constexpr int terminalColumns = 80;

struct ChildEnd {
  bool reaped = false;  // false: the deadline passed and the child was killed
  int status = 0;       // as from wait4
  rusage usage{};
  double seconds = 0;  // from the fork to the end of its output and its exit
  std::int64_t bytes = 0;
  bool exitedWith(int code) const;
};

// In a child process: becomes the program with these arguments, TERM=xterm-256color,
// LANG=C.UTF-8 and the extra NAME=value entries.
[[noreturn]] void execProgram(const std::vector<std::string>& argv,
                              const std::vector<std::string>& environment);

class PtyChild {
 public:
  // The program with these arguments, TERM=xterm-256color, LANG=C.UTF-8 and the extra
  // NAME=value entries.
  static PtyChild exec(const std::vector<std::string>& argv,
                       const std::vector<std::string>& environment = {});
  // A forked copy of this process that runs body and ends with its result.
  static PtyChild fork(const std::function<int()>& body);

  ~PtyChild();  // kills a child that still runs
  PtyChild(PtyChild&& other) noexcept;
  PtyChild(const PtyChild&) = delete;
  PtyChild& operator=(const PtyChild&) = delete;
  PtyChild& operator=(PtyChild&&) = delete;

  bool started() const { return process_.pid > 0; }
  pid_t pid() const { return process_.pid; }
  Clock::time_point startTime() const { return start_; }

  // Keys as typed at the terminal.
  void send(std::string_view bytes);
  // The window changes size (the program gets SIGWINCH).
  void resize(int rows, int columns);
  // Reads until the text on the terminal (escape sequences left out) shows the prompt "=>";
  // false when the output ends or the deadline passes first.
  bool waitForPrompt(double seconds);
  // The next waitForPrompt looks for a prompt that comes after what was read so far.
  void expectAnotherPrompt() { promptSeen_ = false; }
  // Keeps reading for this long, whatever comes.
  void drainFor(double seconds);
  // Reads to the end of the output and reaps the child; kills it at the deadline.
  ChildEnd finish(double seconds);

 private:
  PtyChild() = default;
  static PtyChild start(const std::function<void()>& inChild);
  // One poll and at most one read; false once the output has ended.
  bool readSome(int timeoutMs);
  void kill();

  PtyProcess process_;
  bool ended_ = false;
  bool promptSeen_ = false;
  std::int64_t bytes_ = 0;
  Clock::time_point start_{};
  // Prompt detection: where an escape sequence stands in the stream, the last text byte.
  enum class Escape : std::uint8_t { none, started, csi } escape_ = Escape::none;
  char lastText_ = 0;
  void scanForPrompt(const char* bytes, std::size_t count);
};

}  // namespace qv::bench
