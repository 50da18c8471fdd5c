// The main program: one pass of the dialogue after another, until an exit word is typed.
//
// Every statement is a run of channel operations closed by one checkIo. The helpers below are
// forced inline so that every statement stays in runMenuLoop's own frame: a run-time error at a
// prompt then reports the menu loop itself, directly above the start-up code.
#include "menu/menu_loop.h"

#include <cstdint>
#include <string_view>

#include "channels/short_string.h"
#include "channels/text_channel.h"
#include "channels/text_input.h"
#include "console/console_output.h"
#include "console/console_state.h"
#include "menu/dialogue_texts.h"
#include "menu/method_table.h"
#include "methods/methods.h"
#include "runtime/run_error.h"

namespace qv {

std::uint8_t menuChoice = 0;
std::int32_t termCount = 0;
ShortString<5> exitAnswer;

namespace {

[[gnu::always_inline]] inline void writeLine(std::string_view text) {
  writeString(0, standardOutput, text);
  writeLineEnd(standardOutput);
  checkIo();
}

[[gnu::always_inline]] inline void writeEmptyLine() {
  writeLineEnd(standardOutput);
  checkIo();
}

// The prompt stays on its line so that the answer is echoed right behind it.
[[gnu::always_inline]] inline void writePrompt() {
  writeString(0, standardOutput, dialogue::prompt);
  flushAfterWrite(standardOutput);
  checkIo();
}

[[gnu::always_inline]] inline void showMenu() {
  clearScreen();
  setTextColor(dialogue::lightGreen);
  writeLine(dialogue::banner);
  writeEmptyLine();
  setTextColor(dialogue::white);
  writeLine(dialogue::menuQuestion);
  writeLine(dialogue::continuedFractionEntry);
  writeLine(dialogue::nestedRadicalsEntry);
  writeLine(dialogue::fibonacciEntry);
  writeEmptyLine();
  writePrompt();
}

// Only the first character of the menu line counts; the rest of the line is dropped with it.
[[gnu::always_inline]] inline void readMenuChoice() {
  menuChoice = readChar(standardInput);
  readLineEnd(standardInput);
  checkIo();
}

// Text that is no signed 32-bit integer ends the program here with run-time error 106.
[[gnu::always_inline]] inline void readTermCount() {
  termCount = readInteger(standardInput);
  readLineEnd(standardInput);
  checkIo();
}

[[gnu::always_inline]] inline void runChosenMethod() {
  const MethodEntry* method = findMethod(menuChoice);
  if (method == nullptr) return;
  writeLine(method->title);
  setTextColor(dialogue::white);
  writeLine(method->termPrompt);
  readTermCount();
  writeEmptyLine();
  writeEmptyLine();
  method->run(termCount);
}

bool isExitWord(std::string_view answer) {
  return compareShortStrings(dialogue::exitWordLower, answer) == 0 ||
         compareShortStrings(dialogue::exitWordUpper, answer) == 0;
}

// Ends the program after an exit word; any other answer returns for the next pass.
[[gnu::always_inline]] inline void askWhetherToLeave() {
  setTextColor(dialogue::yellow);
  writeEmptyLine();
  writeEmptyLine();
  writeEmptyLine();
  writeLine(dialogue::exitQuestion);
  writePrompt();
  readShortString(standardInput, exitAnswer, exitAnswer.capacity);
  readLineEnd(standardInput);
  checkIo();
  if (isExitWord(exitAnswer.view())) {
    exitCode = 0;
    terminateProgram();
  }
}

}  // namespace

void runMenuLoop() {
  for (;;) {
    showMenu();
    readMenuChoice();
    writeEmptyLine();
    setTextColor(dialogue::yellow);
    runChosenMethod();
    askWhetherToLeave();
  }
}

}  // namespace qv
