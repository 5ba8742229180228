#include "sim/shared_link.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

inline constexpr double kNsPerSecond = 1e9;

}  // namespace

SharedLink::SharedLink(double bytesPerSecond) : rate_(bytesPerSecond > 0 ? bytesPerSecond : 1) {}

void SharedLink::setRate(double bytesPerSecond) {
  if (bytesPerSecond > 0) rate_ = bytesPerSecond;
}

SharedLink::Time SharedLink::rounded(double ns) const {
  return Time(static_cast<std::int64_t>(std::llround(ns)));
}

std::uint64_t SharedLink::start(Time now, std::uint64_t bytes) {
  advance(now);
  const Flow flow{nextId_++, share_ + static_cast<double>(bytes)};
  auto at = std::upper_bound(flows_.begin(), flows_.end(), flow.finishShare,
                             [](double s, const Flow& f) { return s < f.finishShare; });
  flows_.insert(at, flow);
  advance(now);  // an empty transfer is through at once
  return flow.id;
}

void SharedLink::advance(Time now) {
  const double target = std::max(nowNs_, static_cast<double>(now.count()));
  while (!flows_.empty()) {
    const double n = static_cast<double>(flows_.size());
    const Flow& first = flows_.front();
    const double end = nowNs_ + (first.finishShare - share_) * n * kNsPerSecond / rate_;
    if (end > target) {
      share_ += (target - nowNs_) * rate_ / (n * kNsPerSecond);
      break;
    }
    share_ = first.finishShare;
    nowNs_ = end;
    ended_[first.id] = rounded(end);
    flows_.erase(flows_.begin());
  }
  nowNs_ = target;
}

bool SharedLink::finished(std::uint64_t id) const {
  return ended_.count(id) != 0;
}

SharedLink::Time SharedLink::endOf(std::uint64_t id) const {
  if (auto it = ended_.find(id); it != ended_.end()) return it->second;
  // Play the running transfers forward: each one that ends speeds up the rest.
  double t = nowNs_;
  double share = share_;
  double n = static_cast<double>(flows_.size());
  for (const Flow& f : flows_) {
    t += (f.finishShare - share) * n * kNsPerSecond / rate_;
    share = f.finishShare;
    if (f.id == id) return rounded(t);
    n -= 1;
  }
  return rounded(nowNs_);
}

void SharedLink::forget(std::uint64_t id) {
  ended_.erase(id);
}

BusLink::BusLink() : epoch_(std::chrono::steady_clock::now()) {}

SharedLink::Time BusLink::modelNow(double scale) const {
  const auto real = std::chrono::steady_clock::now() - epoch_;
  return SharedLink::Time(static_cast<std::int64_t>(
      static_cast<double>(std::chrono::duration_cast<SharedLink::Time>(real).count()) * scale));
}

std::chrono::steady_clock::time_point BusLink::realPoint(SharedLink::Time model,
                                                         double scale) const {
  const auto real = std::chrono::nanoseconds(
      static_cast<std::int64_t>(std::ceil(static_cast<double>(model.count()) / scale)));
  return epoch_ + real;
}

void BusLink::transfer(std::uint64_t bytes, double bytesPerSecond, double scale) {
  if (bytes == 0) return;
  if (scale <= 0) scale = 1.0;
  std::unique_lock lock(mutex_);
  link_.setRate(bytesPerSecond);
  const std::uint64_t id = link_.start(modelNow(scale), bytes);
  // A new transfer slows the others down: they look again at their end.
  wake_.notify_all();
  for (;;) {
    link_.advance(modelNow(scale));
    if (link_.finished(id)) break;
    wake_.wait_until(lock, realPoint(link_.endOf(id), scale));
  }
  link_.forget(id);
}

}  // namespace sim
