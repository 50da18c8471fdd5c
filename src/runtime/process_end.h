// How the process ends, once every end step has run: the platform's own exit, which flushes
// nothing and runs no exit handlers (everything the program wrote has been handed over already).
#pragma once

namespace qv {

[[noreturn]] void endProcess(int status);

}  // namespace qv
