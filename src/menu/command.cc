// A command run goes through the same start-up as the dialogue (fault handling, the
// floating-point mode the digits depend on, the module table) and the same end path. Only the
// console module is replaced: instead of taking the terminal, it binds the standard channels to
// the standard handles as plain text. The methods then write through standardOutput exactly as
// in the dialogue, so the digits come from the very same statements.
#include "menu/command.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "channels/file_driver.h"
#include "channels/io_result.h"
#include "channels/line_feed_driver.h"
#include "channels/text_channel.h"
#include "console/console_state.h"
#include "menu/command_texts.h"
#include "menu/dialogue_picture.h"
#include "menu/menu_loop.h"
#include "menu/method_table.h"
#include "methods/csv_rows.h"
#include "picture/chart.h"
#include "picture/svg.h"
#include "picture/watch.h"
#include "runtime/run_error.h"
#include "runtime/startup.h"

#ifndef QV_PROGRAM_VERSION
#error "the build sets QV_PROGRAM_VERSION from the project's version"
#endif

namespace qv {

CommandRequest commandRequest;

namespace {

// The rows of a --csv run, on standard output.
TextChannel csvRows;
// A picture (--svg, --plot), on standard output.
TextChannel pictureOutput;

// Module 4 of a command run. Standard output carries what scripts read, so a run-time error
// report goes to standard error, beside the problem reports. A terminal sees each line as it
// ends; files and pipes get large blocks.
void bindCommandChannels() {
  const bool terminal = isTerminal(standardOutputHandle);
  bindLineFeedOutput(standardOutput, standardOutputHandle, terminal);
  bindLineFeedOutput(csvRows, standardOutputHandle, terminal);
  bindLineFeedOutput(pictureOutput, standardOutputHandle, false);
  bindLineFeedOutput(reportOutput, standardErrorHandle, true);
  bindLineFeedOutput(standardError, standardErrorHandle, true);
  endOnClosedReader();
}

void writeLine(TextChannel& channel, std::string_view text) {
  writeString(0, channel, text);
  writeLineEnd(channel);
  checkIo();
}

// Files and pipes get large blocks, so the last one is handed over here: the end path flushes
// nothing.
void finishOutput(TextChannel& channel) {
  flushLineFeedOutput(channel);
  checkIo();
}

void writeUsage() {
  for (std::string_view line : commandText::usage) writeLine(standardOutput, line);
}

void writeVersion() {
  writeString(0, standardOutput, commandText::programName);
  writeString(0, standardOutput, " ");
  writeString(0, standardOutput, QV_PROGRAM_VERSION);
  writeLineEnd(standardOutput);
  checkIo();
}

// The exit code is what tells a script that the command line was wrong; the message is for a
// person and may have nowhere to go (standard error closed or full), which must not turn the
// code into that of a write error.
void reportProblem() {
  const commandText::ProblemText text = commandText::problemText(commandRequest.problem);
  writeString(0, standardError, commandText::programName);
  writeString(0, standardError, ": ");
  writeString(0, standardError, text.before);
  if (text.quoted) {
    commandText::quotedSubject(commandRequest.subject, [](std::string_view piece) {
      writeString(0, standardError, piece);
    });
  } else {
    writeString(0, standardError, commandRequest.subject);
  }
  writeString(0, standardError, text.after);
  writeLineEnd(standardError);
  writeString(0, standardError, commandText::tryHelp);
  writeLineEnd(standardError);
  ioResult = 0;
  exitCode = 2;
}

void runMethod(const MethodEntry& method) {
  if (!commandRequest.csv) {
    method.runUnwatched(commandRequest.n);
    finishOutput(standardOutput);
    return;
  }
  // The header goes out at once: a reader sees the run has begun, and one that has gone away
  // ends it before any row is computed.
  writeLine(csvRows, csvHeader);
  finishOutput(csvRows);
  sendIteratesToCsvRows(standardOutput, csvRows);
  method.runRows(commandRequest.n);
  finishOutput(csvRows);
}

std::int32_t discardText(TextChannel& channel) {
  channel.bufferPosition = 0;
  return 0;
}

// Each method's run is watched by a series of the model; its lines and the text of its
// iterates are not made at all. The picture is written once the runs are done.
void runPicture() {
  openFileChannel(standardOutput, modeOutput, noHandle);
  standardOutput.transferHook = discardText;
  standardOutput.flushHook = discardText;
  methodOutput::iterateSink = nullptr;
  std::vector<picture::ConvergenceSeries> series;
  series.reserve(commandRequest.methods.size());
  for (char letter : commandRequest.methods) {
    series.emplace_back(letter, commandRequest.n);
    picture::watchIterates(series.back());
    if (const MethodEntry* method = findMethod(std::uint8_t(letter))) {
      method->runUnwatched(commandRequest.n);
    }
  }
  picture::stopWatching();

  std::vector<picture::DrawnSeries> drawn;
  for (const picture::ConvergenceSeries& s : series)
    drawn.push_back({&s, methodMenuName(std::uint8_t(s.method()))});
  if (commandRequest.picture == PictureForm::svg) {
    const std::string text = picture::svgDocument(drawn);
    std::string_view document = text;
    for (std::size_t end; (end = document.find('\n')) != std::string_view::npos;) {
      writeLine(pictureOutput, document.substr(0, end));
      document.remove_prefix(end + 1);
    }
  } else {
    for (const std::string& line : picture::chartLines(drawn, picture::chartTerminal())) {
      writeLine(pictureOutput, line);
    }
  }
  finishOutput(pictureOutput);
}

void runCommand() {
  switch (commandRequest.action) {
    case CommandAction::help:
      writeUsage();
      finishOutput(standardOutput);
      break;
    case CommandAction::version:
      writeVersion();
      finishOutput(standardOutput);
      break;
    case CommandAction::runMethod:
      // The command line names only letters of the table.
      if (commandRequest.picture != PictureForm::none) {
        runPicture();
      } else if (const MethodEntry* method = findMethod(std::uint8_t(commandRequest.method))) {
        runMethod(*method);
      }
      break;
    case CommandAction::usageError:
    case CommandAction::dialogue:  // never here: the dialogue is a main program of its own
      reportProblem();
      break;
  }
  terminateProgram();
}

}  // namespace

void runProgram(int argc, char** argv) {
  if (argc > 1) {
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    commandRequest = parseCommandLine(arguments);
  }
  if (commandRequest.action == CommandAction::dialogue) runDialogue();
  startProgram(bindCommandChannels, runCommand);
}

}  // namespace qv
