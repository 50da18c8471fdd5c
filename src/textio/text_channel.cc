// Stub: replaced by the real channel operations.
#include "textio/text_channel.h"

#include <cstdlib>

#include "textio/io_result.h"

namespace qv {
std::uint16_t ioResult = 0;
TextChannel standardInput, standardOutput, reportOutput, standardError;
Handle standardInputHandle = 0, standardOutputHandle = 1, standardErrorHandle = 2;
void initChannel(TextChannel&, std::string_view) { std::abort(); }
void openChannel(TextChannel&, ChannelMode) { std::abort(); }
void openForOutput(TextChannel&) { std::abort(); }
void closeChannel(TextChannel&) { std::abort(); }
void openStandardChannel(TextChannel&, ChannelMode, Handle) { std::abort(); }
void bindStandardChannels() { std::abort(); }
void appendToBuffer(TextChannel&, const char*, std::int32_t) { std::abort(); }
void writeBlanks(TextChannel&, std::int32_t) { std::abort(); }
void writeString(std::int32_t, TextChannel&, std::string_view) { std::abort(); }
void writeInteger(std::int32_t, TextChannel&, std::int32_t) { std::abort(); }
void writeReal(std::int32_t, std::int32_t, std::int32_t, TextChannel&, Extended) { std::abort(); }
void writeLineEnd(TextChannel&) { std::abort(); }
void flushAfterWrite(TextChannel&) { std::abort(); }
void formatInteger(std::int32_t, std::int32_t, ShortStringSlot, std::int32_t) { std::abort(); }
int compareShortStrings(std::string_view, std::string_view) { std::abort(); }
}  // namespace qv
