// Code for the process-end tests of every platform to fail in, each piece a function of its own
// with a plain name, so that a report's frames can be named: a statement that fails after as
// many nested calls as asked for, a recursion that never ends, and the wrapper that gives a
// faulting instruction a function with a frame.
#pragma once

#include "channels/io_result.h"
#include "runtime/run_error.h"

namespace qv {

inline int callsLeft = 0;                // nested calls the failing statement still makes
inline volatile int scenarioSink = 0;    // keeps results from being optimised away
inline volatile int recursionStop = -1;  // never reached

}  // namespace qv

extern "C" {

__attribute__((noinline)) inline void qvStatement() {
  if (qv::callsLeft-- == 0) {
    qv::ioResult = 106;
    qv::checkIo();
  } else {
    qvStatement();
  }
  qv::scenarioSink = 1;
}

__attribute__((noinline)) inline int qvRecurse(int depth) {
  volatile char pad[256];
  pad[0] = static_cast<char>(depth);
  if (depth == qv::recursionStop) return 0;
  return qvRecurse(depth + 1) + pad[0];
}

__attribute__((noinline)) inline void qvStackOverflow() {
  qv::scenarioSink = qvRecurse(0);
}

}  // extern "C"

// An optimising compiler gives a leaf function that uses no stack no frame of its own, even
// with frame pointers kept, and the walk would then start at its caller's frame. A local
// variable on the stack gives each faulting function the frame that ordinary code has.
#define FAULTING_FUNCTION(name, ...)             \
  __attribute__((noinline)) inline void name() { \
    volatile char kept[8] = {};                  \
    (void)kept;                                  \
    asm volatile(__VA_ARGS__);                   \
  }
