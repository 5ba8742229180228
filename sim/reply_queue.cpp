#include "sim/reply_queue.h"

namespace sim {

InEntry& ReplyQueue::pushBack() {
  if (count_ == ring_.size()) {
    std::vector<InEntry> bigger(ring_.size() * 2);
    for (std::size_t i = 0; i < count_; ++i) bigger[i] = ring_[(head_ + i) % ring_.size()];
    ring_.swap(bigger);
    head_ = 0;
  }
  InEntry& slot = ring_[(head_ + count_) % ring_.size()];
  slot.consumed = 0;
  ++count_;
  return slot;
}

void ReplyQueue::popFront() {
  if (count_ == 0) return;
  head_ = (head_ + 1) % ring_.size();
  --count_;
}

void ReplyQueue::clear() {
  head_ = 0;
  count_ = 0;
}

}  // namespace sim
