#include "app/device_notice.h"

#include <libudev.h>
#include <unistd.h>

#include <QMetaObject>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>

#include "sim/sim_bus.h"

namespace {
constexpr const char* kUdevControl = "/run/udev/control";
constexpr const char* kUsbSubsystem = "usb";
constexpr const char* kUsbDeviceType = "usb_device";  // whole devices, not their interfaces
}  // namespace

// The udev context and monitor, released in the right order.
struct DeviceNoticeSource::Udev {
  udev* context = nullptr;
  udev_monitor* monitor = nullptr;
  ~Udev() {
    if (monitor != nullptr) udev_monitor_unref(monitor);
    if (context != nullptr) udev_unref(context);
  }
};

DeviceNoticeSource::DeviceNoticeSource(QObject* parent) : QObject(parent) {}

DeviceNoticeSource::~DeviceNoticeSource() {
  Stop();
}

bool DeviceNoticeSource::UdevAvailable() {
  return ::access(kUdevControl, F_OK) == 0;
}

bool DeviceNoticeSource::StartUdev() {
  // Without the daemon the monitor opens fine but never hears anything.
  if (!UdevAvailable()) return false;
  auto state = std::make_unique<Udev>();
  state->context = udev_new();
  if (state->context == nullptr) return false;
  state->monitor = udev_monitor_new_from_netlink(state->context, "udev");
  if (state->monitor == nullptr) return false;
  if (udev_monitor_filter_add_match_subsystem_devtype(state->monitor, kUsbSubsystem,
                                                      kUsbDeviceType) < 0 ||
      udev_monitor_enable_receiving(state->monitor) < 0) {
    return false;
  }
  const int fd = udev_monitor_get_fd(state->monitor);
  if (fd < 0) return false;
  udev_ = std::move(state);
  udevNotifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
  connect(udevNotifier_, &QSocketNotifier::activated, this, &DeviceNoticeSource::OnUdevReadable);
  kind_ = Kind::Udev;
  return true;
}

void DeviceNoticeSource::OnUdevReadable() {
  if (!udev_) return;
  // Drain every event that is waiting; each arrival or removal is one notice.
  while (udev_device* device = udev_monitor_receive_device(udev_->monitor)) {
    const char* action = udev_device_get_action(device);
    const bool change =
        action != nullptr && (std::string(action) == "add" || std::string(action) == "remove");
    udev_device_unref(device);
    if (change) Raise();
  }
}

void DeviceNoticeSource::StartPolling(BusSnapshot snapshot, int periodMs) {
  snapshot_ = std::move(snapshot);
  if (!snapshot_) return;
  lastSeen_ = snapshot_();
  std::sort(lastSeen_.begin(), lastSeen_.end());
  pollTimer_ = new QTimer(this);
  pollTimer_->setInterval(periodMs);
  connect(pollTimer_, &QTimer::timeout, this, &DeviceNoticeSource::PollOnce);
  pollTimer_->start();
  kind_ = Kind::Polling;
}

void DeviceNoticeSource::PollOnce() {
  if (!snapshot_) return;
  std::vector<std::string> now = snapshot_();
  std::sort(now.begin(), now.end());
  if (now == lastSeen_) return;
  lastSeen_ = std::move(now);
  Raise();
}

void DeviceNoticeSource::AttachSimulatedBus(sim::SimBus& bus) {
  simBus_ = &bus;
  bus.setNoticeCallback([this](const sim::DeviceNotice&) { Raise(); });
  kind_ = Kind::Simulated;
}

void DeviceNoticeSource::Stop() {
  // Clearing the callback waits for a call in progress, so none can reach this object later.
  if (simBus_ != nullptr) simBus_->setNoticeCallback({});
  simBus_ = nullptr;
  if (pollTimer_ != nullptr) pollTimer_->stop();
  delete udevNotifier_;
  udevNotifier_ = nullptr;
  udev_.reset();
  snapshot_ = {};
  enabled_.store(false);
}

void DeviceNoticeSource::Raise() {
  // Queued even on the UI thread: the rescan runs from the event loop, never inside a caller.
  QMetaObject::invokeMethod(
      this,
      [this] {
        if (enabled_.load()) emit DeviceChanged();
      },
      Qt::QueuedConnection);
}
