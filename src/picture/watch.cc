#include "picture/watch.h"

#include "methods/methods.h"

namespace qv::picture {

namespace {

ConvergenceSeries* watched = nullptr;

void addToWatched(std::int32_t index, double value, std::string_view) {
  watched->add(index, value);
}

}  // namespace

void watchIterates(ConvergenceSeries& series) {
  watched = &series;
  methodOutput::iterateWatcher = addToWatched;
}

void stopWatching() {
  methodOutput::iterateWatcher = nullptr;
  watched = nullptr;
}

}  // namespace qv::picture
