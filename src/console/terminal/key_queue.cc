#include "console/terminal/key_queue.h"

namespace qv {

bool KeyQueue::push(const InputRecord& record) {
  if (full()) return false;
  events_[(head_ + count_) % capacity] = record;
  ++count_;
  return true;
}

bool KeyQueue::pop(InputRecord& record) {
  if (empty()) return false;
  record = events_[head_];
  head_ = (head_ + 1) % capacity;
  --count_;
  return true;
}

}  // namespace qv
