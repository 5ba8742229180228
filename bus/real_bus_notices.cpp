#include "bus/real_bus_notices.h"

#include <libudev.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>

namespace {
constexpr const char* kUdevControl = "/run/udev/control";
constexpr const char* kUsbSubsystem = "usb";
constexpr const char* kUsbDeviceType = "usb_device";  // whole devices, not their interfaces

bool IsArrivalOrRemoval(const char* action) {
  return action != nullptr &&
         (std::strcmp(action, "add") == 0 || std::strcmp(action, "remove") == 0);
}
}  // namespace

// The udev context and monitor, released in the right order.
struct RealBusNotices::Udev {
  udev* context = nullptr;
  udev_monitor* monitor = nullptr;
  ~Udev() {
    if (monitor != nullptr) udev_monitor_unref(monitor);
    if (context != nullptr) udev_unref(context);
  }
};

bool RealBusNotices::UdevAvailable() {
  return ::access(kUdevControl, F_OK) == 0;
}

void RealBusNotices::Start(Raise raise, BusSnapshot snapshot) {
  Stop();
  raise_ = std::move(raise);
  snapshot_ = std::move(snapshot);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = false;
  }
  if (!StartUdev()) StartPolling();
}

bool RealBusNotices::StartUdev() {
  // Without the daemon the monitor opens fine but never hears anything.
  if (!UdevAvailable()) return false;
  auto* state = new Udev;
  state->context = udev_new();
  if (state->context != nullptr)
    state->monitor = udev_monitor_new_from_netlink(state->context, "udev");
  const bool ready = state->monitor != nullptr &&
                     udev_monitor_filter_add_match_subsystem_devtype(state->monitor, kUsbSubsystem,
                                                                     kUsbDeviceType) >= 0 &&
                     udev_monitor_enable_receiving(state->monitor) >= 0 &&
                     udev_monitor_get_fd(state->monitor) >= 0;
  stopFd_ = ready ? ::eventfd(0, EFD_CLOEXEC) : -1;
  if (!ready || stopFd_ < 0) {
    delete state;
    return false;
  }
  udev_ = state;
  kind_ = Kind::Udev;
  thread_ = std::thread(&RealBusNotices::ReadUdev, this, udev_monitor_get_fd(state->monitor));
  return true;
}

void RealBusNotices::ReadUdev(int monitorFd) {
  pollfd fds[2] = {{monitorFd, POLLIN, 0}, {stopFd_, POLLIN, 0}};
  for (;;) {
    if (::poll(fds, 2, -1) < 0) continue;
    if (fds[1].revents != 0) return;
    // Drain every event that is waiting; each arrival or removal is one notice.
    while (udev_device* device = udev_monitor_receive_device(udev_->monitor)) {
      const bool change = IsArrivalOrRemoval(udev_device_get_action(device));
      udev_device_unref(device);
      if (change && raise_) raise_();
    }
  }
}

void RealBusNotices::StartPolling() {
  if (!snapshot_) return;
  kind_ = Kind::Polling;
  thread_ = std::thread(&RealBusNotices::Poll, this);
}

void RealBusNotices::Poll() {
  std::vector<std::string> lastSeen = snapshot_();
  std::sort(lastSeen.begin(), lastSeen.end());
  while (WaitOrStop(pollPeriodMs_)) {
    std::vector<std::string> now = snapshot_();
    std::sort(now.begin(), now.end());
    if (now == lastSeen) continue;
    lastSeen = std::move(now);
    if (raise_) raise_();
  }
}

bool RealBusNotices::WaitOrStop(int ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  return !stopped_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping_; });
}

void RealBusNotices::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  stopped_.notify_all();
  if (stopFd_ >= 0) {
    const std::uint64_t one = 1;
    (void)!::write(stopFd_, &one, sizeof one);
  }
  if (thread_.joinable()) thread_.join();
  if (stopFd_ >= 0) ::close(stopFd_);
  stopFd_ = -1;
  delete udev_;
  udev_ = nullptr;
  kind_ = Kind::None;
}
