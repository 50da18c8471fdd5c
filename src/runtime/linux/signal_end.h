// Ending by a signal, the way a parent expects of a program that was interrupted: by the
// signal's default action, so that a shell knows (its $? reads 128 + the signal's number, and a
// loop of runs stops on Ctrl-C); with that status instead when the signal is ignored, the choice
// of whoever started the program.
#pragma once

namespace qv {

// The end that follows (the one end path, then endProcess) is an end by this signal.
void setEndingSignal(int signalNumber);
// Ends the process by the signal now. Safe in a signal handler.
[[noreturn]] void endProcessBySignal(int signalNumber, int status);

}  // namespace qv
