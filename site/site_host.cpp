#include "site/site_host.h"

void SiteHost::Wake() {
  {
    std::lock_guard<std::mutex> lock(wakeMutex_);
    ++wakes_;
  }
  woken_.notify_all();
}

std::uint64_t SiteHost::Wakes() const {
  std::lock_guard<std::mutex> lock(wakeMutex_);
  return wakes_;
}

void SiteHost::WaitForWake(std::uint64_t seen, std::chrono::milliseconds limit) {
  {
    std::unique_lock<std::mutex> lock(wakeMutex_);
    woken_.wait_for(lock, limit, [&] { return wakes_ != seen; });
  }
  ProcessMessages();
}
