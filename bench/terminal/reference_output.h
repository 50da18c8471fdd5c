// The references the program is measured against: what a plain C++ program prints for the same
// iterates of the continued fraction, once through printf on a line-buffered stdout, once as a
// single write of all of it; and how soon a plain program that only shows a prompt is up.
#pragma once

#include <string>

namespace qv::bench {

// The iterates of menu choice a, as the program computes them: 1/x + 1 from 1, in the
// extended format, rounded to double when stored.
double nextIterate(double x);

// The lines "%.15f\n" of the first n iterates, built before any timing starts.
std::string iterateLines(long n);

// The printf loop, as a terminal program would run it: stdout line-buffered. Returns the exit
// code (0, or 1 when stdout failed).
int printIterates(long n);

// Writes the prompt "=>" and waits for one line of input. Returns 0.
int promptAndWait();

}  // namespace qv::bench
