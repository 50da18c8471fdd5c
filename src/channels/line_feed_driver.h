// Output for scripts and other programs: a channel's text goes to a handle with each of the
// program's line ends (carriage return, line feed) written as the system's text files end their
// lines: a single line feed on Linux, the form every Unix text tool reads, and both bytes on
// Windows. A terminal may get each line as it ends; a file or a pipe gets large blocks, and the
// last one when the run ends with flushLineFeedOutput.
#pragma once

#include "channels/text_channel.h"

namespace qv {

// Binds the channel for output on the handle. With everyLine, each line end and each write
// statement reaches the handle at once (a terminal, or standard error).
void bindLineFeedOutput(TextChannel& channel, Handle handle, bool everyLine);

// The driver's transfer and flush hook.
std::int32_t lineFeedWriteHook(TextChannel& channel);

// Hands over whatever of the channel's text still waits; ioResult tells whether the handle took
// it. The end path flushes nothing, so a run calls this before it ends.
void flushLineFeedOutput(TextChannel& channel);

// Forgets any text still waiting (for tests).
void resetLineFeedOutput();

}  // namespace qv
