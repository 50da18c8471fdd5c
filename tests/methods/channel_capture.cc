#include "methods/channel_capture.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "channels/io_result.h"
#include "channels/text_channel.h"
#include "console/console_state.h"
#include "methods/methods.h"

namespace qv::testsupport {

ChannelCapture* ChannelCapture::active_ = nullptr;

ChannelCapture::ChannelCapture() {
  active_ = this;
  ioResult = 0;
  resetMethodState();
  resetConsoleState();
  setTextColor(startColour);
  openFileChannel(standardOutput, modeOutput, standardOutputHandle);
  standardOutput.transferHook = recordOutput;
  standardOutput.flushHook = recordOutput;
  openFileChannel(standardInput, modeInput, standardInputHandle);
  standardInput.transferHook = supplyLine;
}

ChannelCapture::~ChannelCapture() {
  initChannel(standardOutput, {});
  initChannel(standardInput, {});
  resetConsoleState();
  active_ = nullptr;
}

std::vector<std::string> ChannelCapture::texts() const {
  std::vector<std::string> result;
  for (const CapturedLine& line : lines_) result.push_back(line.text);
  return result;
}

std::int32_t ChannelCapture::recordOutput(TextChannel& channel) {
  ChannelCapture& self = *active_;
  for (std::int32_t i = 0; i < channel.bufferPosition; ++i) {
    self.partial_.push_back(static_cast<char>(channel.buffer[i]));
    if (self.partial_.ends_with("\r\n")) {
      self.partial_.resize(self.partial_.size() - 2);
      self.lines_.push_back({std::exchange(self.partial_, {}), consoleState.textAttribute});
    }
  }
  channel.bufferPosition = 0;
  return 0;
}

// Like the console's line editor: one whole line per call, ended by carriage return and line
// feed; nothing left means the end of the input.
std::int32_t ChannelCapture::supplyLine(TextChannel& channel) {
  ChannelCapture& self = *active_;
  channel.bufferPosition = 0;
  channel.bufferEnd = 0;
  if (self.typed_.empty()) return 0;
  std::string line = std::move(self.typed_.front()) + "\r\n";
  self.typed_.pop_front();
  const auto count = std::min<std::size_t>(line.size(), channelBufferSize);
  std::memcpy(channel.buffer, line.data(), count);
  channel.bufferEnd = static_cast<std::int32_t>(count);
  return 0;
}

}  // namespace qv::testsupport
