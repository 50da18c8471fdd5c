// The signals that matter to a program that owns the terminal. A handler only records the
// signal and writes one byte to a pipe, so that a wait in poll() wakes up; the work (ending,
// suspending, repainting) happens later, in ordinary code, where it is safe.
#pragma once

namespace qv::signalPipe {

// Creates the pipe (once) and installs the handlers for SIGINT, SIGTERM, SIGHUP, SIGQUIT,
// SIGTSTP, SIGCONT and SIGWINCH. False when the pipe cannot be made (nothing is installed).
bool install();
// Puts back the dispositions that install() found. The pipe stays for a later install().
void uninstall();
bool installed();

// The read end, to poll together with the keyboard.
int wakeDescriptor();
// Empties the pipe after a wake-up.
void drain();

// Cheap enough for every drawing call: true when any signal waits to be handled.
bool pending();
// The first of SIGINT, SIGTERM, SIGHUP, SIGQUIT that arrived (it is kept), or 0.
int endingSignal();
// Test and clear: Ctrl-Z, continue after a stop, a new window size.
bool takeStop();
bool takeContinue();
bool takeResize();

// Stops the process the way Ctrl-Z would without a handler, and returns once it continues.
void stopProcess();

// Forgets every recorded signal and puts back the old dispositions (for tests).
void reset();

}  // namespace qv::signalPipe
