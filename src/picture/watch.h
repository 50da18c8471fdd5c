// Feeding a run's iterates into a series of the model, through the methods' iterate watcher.
#pragma once

#include "picture/convergence.h"

namespace qv::picture {

// From now on every iterate the methods hand out goes to series as well.
void watchIterates(ConvergenceSeries& series);
// The iterates go to no series any more.
void stopWatching();

}  // namespace qv::picture
