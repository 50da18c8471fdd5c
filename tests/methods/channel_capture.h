// Binds the standard channels to memory for the length of a test: what the program writes to
// standardOutput is recorded line by line together with the colour in force when each line
// end was flushed, and standardInput hands out scripted lines as if typed and ended by Enter.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "channels/text_channel.h"

namespace qv::testsupport {

struct CapturedLine {
  std::string text;         // without the line end
  std::uint8_t colour = 0;  // textAttribute when the line end was flushed
};

class ChannelCapture {
 public:
  // The colour the methods find on entry from the menu.
  static constexpr std::uint8_t startColour = 15;

  ChannelCapture();
  ~ChannelCapture();
  ChannelCapture(const ChannelCapture&) = delete;
  ChannelCapture& operator=(const ChannelCapture&) = delete;

  void typeLine(std::string_view line) { typed_.emplace_back(line); }
  int linesLeftToRead() const { return static_cast<int>(typed_.size()); }

  // The completed lines; text written after the last line end waits for its line end.
  const std::vector<CapturedLine>& lines() const { return lines_; }
  std::vector<std::string> texts() const;

 private:
  static std::int32_t recordOutput(TextChannel& channel);
  static std::int32_t supplyLine(TextChannel& channel);

  std::deque<std::string> typed_;
  std::vector<CapturedLine> lines_;
  std::string partial_;
  static ChannelCapture* active_;
};

}  // namespace qv::testsupport
