// A child process whose standard output is a pipe that the bench drains as fast as it can, as a
// script's reader would: the bytes are counted and dropped.
#pragma once

#include <string>
#include <vector>

#include "terminal/pty_child.h"

namespace qv::bench {

// Runs the program with these arguments and extra NAME=value environment entries to its end;
// kills it at the deadline.
ChildEnd runIntoPipe(const std::vector<std::string>& argv,
                     const std::vector<std::string>& environment, double seconds);

}  // namespace qv::bench
