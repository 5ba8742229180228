#include "serve/event_hub.h"

#include <algorithm>

EventHub::EventHub(HubLimits limits) : limits_(limits) {}

std::uint64_t EventHub::Publish(std::string type, std::string data) {
  std::uint64_t id = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    id = nextId_++;
    ring_.push_back({id, std::move(type), std::move(data)});
    if (ring_.size() > limits_.ringEvents) ring_.pop_front();
  }
  published_.notify_all();
  return id;
}

std::unique_ptr<HubReader> EventHub::Subscribe(std::optional<std::uint64_t> lastEventId) {
  std::lock_guard<std::mutex> lock(mutex_);
  ++clients_;
  if (!lastEventId) {
    return std::unique_ptr<HubReader>(new HubReader(*this, nextId_, nextId_, false));
  }
  const std::uint64_t oldest = ring_.empty() ? nextId_ : ring_.front().id;
  const bool held = *lastEventId < nextId_ && *lastEventId + 1 >= oldest;
  return std::unique_ptr<HubReader>(
      new HubReader(*this, held ? *lastEventId + 1 : nextId_, nextId_, !held));
}

void EventHub::Close() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
  }
  published_.notify_all();
}

std::uint64_t EventHub::LastId() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return nextId_ - 1;
}

std::size_t EventHub::Clients() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return clients_;
}

std::uint64_t EventHub::DroppedClients() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return dropped_;
}

HubReader::HubReader(EventHub& hub, std::uint64_t next, std::uint64_t joined, bool reset)
    : hub_(hub), next_(next), joined_(joined), reset_(reset) {}

HubReader::~HubReader() {
  std::lock_guard<std::mutex> lock(hub_.mutex_);
  --hub_.clients_;
}

HubReader::Batch HubReader::Next(std::size_t maxEvents, std::chrono::milliseconds patience) {
  Batch batch;
  batch.reset = reset_;
  reset_ = false;
  std::unique_lock<std::mutex> lock(hub_.mutex_);
  if (!batch.reset) {
    hub_.published_.wait_for(lock, patience, [&] { return hub_.closed_ || hub_.nextId_ > next_; });
  }
  if (hub_.closed_) {
    batch.status = Status::Closed;
    return batch;
  }
  const std::uint64_t oldest = hub_.ring_.empty() ? hub_.nextId_ : hub_.ring_.front().id;
  const std::uint64_t queued = hub_.nextId_ - std::max(next_, joined_);
  if (queued > hub_.limits_.clientBacklog || next_ < oldest) {
    ++hub_.dropped_;
    batch.status = Status::Dropped;
    return batch;
  }
  for (std::uint64_t id = next_; id < hub_.nextId_ && batch.events.size() < maxEvents; ++id) {
    batch.events.push_back(hub_.ring_[id - oldest]);
  }
  next_ += batch.events.size();
  batch.status = batch.events.empty() ? Status::Idle : Status::Events;
  return batch;
}
