// The program's entry. Started without arguments it is the dialogue, exactly as always; with
// arguments it is a command that answers on the standard streams and ends: the usage, the
// version, a method's lines for scripts, or a problem with the command line.
#pragma once

#include "menu/command_line.h"

namespace qv {

// What the command line asked for (the dialogue until runProgram has read it).
extern CommandRequest commandRequest;

[[noreturn]] void runProgram(int argc, char** argv);
// The dialogue alone (src/menu/dialogue.cc): what runProgram runs without arguments, and the
// program of a page, which has no command line.
[[noreturn]] void runDialogue();

}  // namespace qv
