// The signals that matter to a program that owns the terminal. A handler only records the
// signal and writes one byte to a pipe, so that a wait in poll() wakes up; the work (ending,
// suspending, repainting) happens later, in ordinary code, where it is safe. The one exception
// is an abort() of the program itself: nothing can be returned to, so the handler puts the
// terminal back itself (see setEmergencyRestoreStep) before the process dies.
//
// The handlers interrupt system calls rather than restart them: a write that waits for a
// terminal that stopped reading must come back with EINTR, so that the signal can act.
#pragma once

namespace qv::signalPipe {

// Creates the pipe (once) and installs the handlers: for every signal whose default action
// ends the process (the processor faults excepted: those are the fault handler's), for the
// stop signals SIGTSTP, SIGTTIN and SIGTTOU, and for SIGCONT and SIGWINCH. A signal that was
// ignored when the program started stays ignored: that was its parent's choice (nohup, a
// background job of a shell without job control). False when the pipe cannot be made.
bool install();
// Puts back the dispositions that install() found. The pipe stays for a later install().
void uninstall();
bool installed();

// The read end, to poll together with the keyboard or the terminal's output.
int wakeDescriptor();
// Empties the pipe after a wake-up.
void drain();

// Cheap enough for every drawing call: true when any signal waits to be handled.
bool pending();
// A signal that must not wait for the terminal: an ending signal or a stop request.
bool urgent();
// The first ending signal that arrived (it is kept), or 0.
int endingSignal();
// Test and clear. A stop request gives the signal to stop with (SIGTSTP, SIGTTIN or SIGTTOU);
// a SIGCONT that arrives after it cancels it, since the process has been continued already.
int takeStop();
bool takeContinue();
bool takeResize();

// Stops the process with the default action of the stop signal, as if no handler were there,
// and returns once it continues: true then, and true at once when a SIGCONT came since the
// stop was taken (or since the last takeContinue). False when the stop did not happen: the
// signal was ignored when the program started, or the kernel discarded it (an orphaned
// process group, which no shell can continue).
bool stopProcess(int signalNumber);
// Waits until a signal arrives or the time is up.
void waitForSignal(int milliseconds);

// Forgets every recorded signal and puts back the old dispositions (for tests).
void reset();

}  // namespace qv::signalPipe
