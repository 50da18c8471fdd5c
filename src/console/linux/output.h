// How the display's bytes reach the terminal. A terminal may stop reading (a paused emulator, a
// stalled link), go away (a hang-up), or have been made non-blocking by someone else; none of
// that may lose output, spin, or keep a signal from acting.
//
// The terminal is opened a second time, privately and non-blocking, when it can be: a write
// then never sleeps in the kernel, and every wait for the terminal is a poll() that watches the
// signal pipe too. The descriptor the program was given is shared with the shell and keeps its
// own mode. When the terminal cannot be reopened, the given descriptor is written instead; the
// signal handlers interrupt its writes.
#pragma once

#include <cstddef>
#include <string_view>

namespace qv {

// The errors with which a terminal that went away fails reads and writes.
bool isHangUpError(int error);

class TtyOutput {
 public:
  enum class Outcome {
    written,   // every byte
    gaveWay,   // a signal that must act arrived while the terminal took no more
    timedOut,  // writeWithin(): the terminal took no more in time
    gone,      // the terminal hung up, or fails writes for good
  };

  void open(int fd);
  void close();
  // Set once a write found the terminal gone; it stays set.
  bool gone() const { return gone_; }

  // Writes every byte, waiting as long as the terminal takes, but gives way to an ending
  // signal or a stop request (see signalPipe::urgent). What was written is taken off bytes.
  Outcome write(std::string_view& bytes);
  // Writes what the terminal takes within the time, whatever signals wait.
  Outcome writeWithin(std::string_view& bytes, int milliseconds);
  // From a signal handler: write() and poll() only, for at most the time given.
  void writeFromSignalHandler(const char* bytes, std::size_t count, int milliseconds) const;

 private:
  Outcome send(std::string_view& bytes, bool giveWay, int milliseconds);

  int fd_ = -1;
  bool own_ = false;  // fd_ is the private descriptor, closed with the output
  bool gone_ = false;
};

}  // namespace qv
