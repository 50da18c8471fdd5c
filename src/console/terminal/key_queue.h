// The bounded queue of key events that waits for the console's key reader.
#pragma once

#include "console/console_platform.h"

namespace qv {

class KeyQueue {
 public:
  static constexpr int capacity = 512;
  bool empty() const { return count_ == 0; }
  bool full() const { return count_ == capacity; }
  int size() const { return count_; }
  int room() const { return capacity - count_; }
  bool push(const InputRecord& record);  // false (event dropped) when full
  bool pop(InputRecord& record);
  void clear() { head_ = count_ = 0; }
  // Drops the events from the first-th oldest on for which drop(record) holds, keeping order.
  template <class Drop>
  void dropFrom(int first, Drop drop) {
    int kept = first;
    for (int i = first; i < count_; ++i) {
      const InputRecord record = events_[(head_ + i) % capacity];
      if (!drop(record)) events_[(head_ + kept++) % capacity] = record;
    }
    count_ = kept;
  }

 private:
  InputRecord events_[capacity] = {};
  int head_ = 0;
  int count_ = 0;
};

}  // namespace qv
