#pragma once
// A client of the station's event stream over a real HTTP connection, on a thread of its own:
// it reads the server-sent events as they come and lets the test wait for one with a deadline.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>
#include <nlohmann/json.hpp>

struct StreamEvent {
  std::optional<std::uint64_t> id;
  std::string type;
  nlohmann::json data;
};

class EventFollower {
 public:
  EventFollower(int port, std::optional<std::uint64_t> lastEventId = std::nullopt);
  ~EventFollower();
  EventFollower(const EventFollower&) = delete;
  EventFollower& operator=(const EventFollower&) = delete;

  // Waits until an event of the stream matches `wanted`; false at the deadline or when the
  // stream ended first.
  bool WaitFor(const std::function<bool(const StreamEvent&)>& wanted,
               std::chrono::seconds deadline = std::chrono::seconds(300));
  std::vector<StreamEvent> Events() const;
  // Whether the server ended the stream.
  bool Ended() const;

 private:
  void Take(const char* data, std::size_t size);

  httplib::Client client_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::string pending_;
  std::vector<StreamEvent> events_;
  bool ended_ = false;
  std::thread reader_;
};
