#pragma once
// The station's event stream: every event gets the next id and goes into one bounded ring; each
// stream client reads the ring from its own position. Publishing (on a site worker) appends
// once and wakes the readers, whatever the number of clients: nothing a client does can make a
// worker wait. A client's backlog (the events published past its position) is its queue; once
// that exceeds the client limit the client is dropped, and a reconnect resumes from the ring or
// is told to start afresh ("reset"). A reconnecting client's queue holds only what was published
// after it came back: it may take its missed events from the ring at its own pace, as long as
// the ring still holds them.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct HubEvent {
  std::uint64_t id = 0;
  std::string type;  // "site", "step", "part", "summary", "log"
  std::string data;  // one JSON object on one line
};

struct HubLimits {
  std::size_t ringEvents = 16384;    // events kept for reconnecting clients
  std::size_t clientBacklog = 4096;  // events a client may lag behind before it is dropped
};

class EventHub;

// One stream client's position in the hub. Read it from one thread.
class HubReader {
 public:
  enum class Status { Events, Idle, Dropped, Closed };
  struct Batch {
    Status status = Status::Idle;
    bool reset = false;  // the client's events are gone from the ring: it starts afresh
    std::vector<HubEvent> events;
  };

  ~HubReader();
  HubReader(const HubReader&) = delete;
  HubReader& operator=(const HubReader&) = delete;

  // The events after the client's position, at most `maxEvents`; waits up to `patience` for
  // one. Dropped once the client lags behind by more than the backlog limit.
  Batch Next(std::size_t maxEvents, std::chrono::milliseconds patience);

 private:
  friend class EventHub;
  HubReader(EventHub& hub, std::uint64_t next, std::uint64_t joined, bool reset);

  EventHub& hub_;
  std::uint64_t next_;    // the id of the next event this client gets
  std::uint64_t joined_;  // the first event published after it came: its queue starts there
  bool reset_;
};

class EventHub {
 public:
  explicit EventHub(HubLimits limits = {});

  // Any thread; never waits for a client. The event's id.
  std::uint64_t Publish(std::string type, std::string data);

  // A client from the next event on, or, with the id of the last event it saw, from the one
  // after it. An id the ring no longer holds (or one this hub never gave) starts the client
  // at the next event with a reset.
  std::unique_ptr<HubReader> Subscribe(std::optional<std::uint64_t> lastEventId = std::nullopt);

  // Wakes every reader for good; they see Closed.
  void Close();

  std::uint64_t LastId() const;
  std::size_t Clients() const;
  std::uint64_t DroppedClients() const;

 private:
  friend class HubReader;

  const HubLimits limits_;
  mutable std::mutex mutex_;  // guards everything below
  std::condition_variable published_;
  std::deque<HubEvent> ring_;  // ids ring_.front().id .. nextId_ - 1
  std::uint64_t nextId_ = 1;
  bool closed_ = false;
  std::size_t clients_ = 0;
  std::uint64_t dropped_ = 0;
};
