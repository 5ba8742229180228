#pragma once
// The one USB 2.0 high-speed link that every unit of a bus shares, as units behind one hub
// share their host controller. Transfers in flight at the same time split the link's rate
// evenly (processor sharing): with n transfers each moves at rate / n, and when one ends the
// others speed up.
//
// `SharedLink` is the model on its own clock, driven with explicit times (tests use it
// directly); `BusLink` is what the bus uses: it runs the model on the steady clock at the
// timing model's scale and blocks a transfer for its share of the link.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

namespace sim {

class SharedLink {
 public:
  using Time = std::chrono::nanoseconds;  // model time since the link's clock started

  explicit SharedLink(double bytesPerSecond = 53.0e6);

  void setRate(double bytesPerSecond);
  double rate() const { return rate_; }

  // A transfer of `bytes` starts at `now` (not before the last time seen); returns its id.
  std::uint64_t start(Time now, std::uint64_t bytes);
  // Moves the clock to `now`, ending the transfers that are through by then.
  void advance(Time now);
  bool finished(std::uint64_t id) const;
  // A finished transfer's end, or when a running one ends if no other transfer starts.
  Time endOf(std::uint64_t id) const;
  // Drops a finished transfer's record.
  void forget(std::uint64_t id);
  std::size_t active() const { return flows_.size(); }

 private:
  struct Flow {
    std::uint64_t id;
    double finishShare;  // the per-transfer byte count at which it is through
  };
  Time rounded(double ns) const;

  double rate_;
  double share_ = 0;  // bytes each running transfer has moved since the clock started
  double nowNs_ = 0;
  std::vector<Flow> flows_;  // running, by finishShare
  std::map<std::uint64_t, Time> ended_;
  std::uint64_t nextId_ = 1;
};

class BusLink {
 public:
  BusLink();
  // Blocks for the real time `bytes` take on the shared link at the link rate (bytes per
  // second of model time) and `scale`. Thread-safe.
  void transfer(std::uint64_t bytes, double bytesPerSecond, double scale);

 private:
  SharedLink::Time modelNow(double scale) const;
  std::chrono::steady_clock::time_point realPoint(SharedLink::Time model, double scale) const;

  const std::chrono::steady_clock::time_point epoch_;
  std::mutex mutex_;
  std::condition_variable wake_;
  SharedLink link_;
};

}  // namespace sim
