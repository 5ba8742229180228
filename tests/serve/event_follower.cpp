#include "tests/serve/event_follower.h"

#include <sstream>

namespace {
constexpr time_t kReadTimeoutSeconds = 120;  // longer than the stream's heartbeat

StreamEvent Parse(const std::string& block) {
  StreamEvent event;
  std::istringstream lines(block);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("id: ", 0) == 0) event.id = std::stoull(line.substr(4));
    if (line.rfind("event: ", 0) == 0) event.type = line.substr(7);
    if (line.rfind("data: ", 0) == 0) event.data = nlohmann::json::parse(line.substr(6));
  }
  return event;
}
}  // namespace

EventFollower::EventFollower(int port, std::optional<std::uint64_t> lastEventId)
    : client_("127.0.0.1", port) {
  client_.set_read_timeout(kReadTimeoutSeconds, 0);
  httplib::Headers headers;
  if (lastEventId) headers.emplace("Last-Event-ID", std::to_string(*lastEventId));
  reader_ = std::thread([this, headers] {
    client_.Get("/api/v1/events", headers, [this](const char* data, std::size_t size) {
      Take(data, size);
      return true;
    });
    std::lock_guard<std::mutex> lock(mutex_);
    ended_ = true;
    changed_.notify_all();
  });
}

EventFollower::~EventFollower() {
  client_.stop();
  reader_.join();
}

void EventFollower::Take(const char* data, std::size_t size) {
  std::lock_guard<std::mutex> lock(mutex_);
  pending_.append(data, size);
  for (std::size_t end; (end = pending_.find("\n\n")) != std::string::npos;) {
    const std::string block = pending_.substr(0, end);
    pending_.erase(0, end + 2);
    if (block.empty() || block[0] == ':') continue;  // a heartbeat
    events_.push_back(Parse(block));
  }
  changed_.notify_all();
}

bool EventFollower::WaitFor(const std::function<bool(const StreamEvent&)>& wanted,
                            std::chrono::seconds deadline) {
  std::unique_lock<std::mutex> lock(mutex_);
  std::size_t seen = 0;
  bool found = false;
  changed_.wait_for(lock, deadline, [&] {
    for (; seen < events_.size() && !found; ++seen) found = wanted(events_[seen]);
    return found || ended_;
  });
  return found;
}

std::vector<StreamEvent> EventFollower::Events() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return events_;
}

bool EventFollower::Ended() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return ended_;
}
