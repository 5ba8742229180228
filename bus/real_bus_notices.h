#pragma once
// Notices of the real bus: the udev netlink monitor on the "usb" subsystem, read on its own
// thread, or, where udev does not run, a look at the bus every period that raises a notice when
// the set of matching devices changed. Both threads sleep until something happens or they are
// stopped, so an idle program does not spin.
#include <condition_variable>
#include <mutex>
#include <thread>

#include "bus/device_notices.h"

class RealBusNotices final : public DeviceNotices {
 public:
  explicit RealBusNotices(int pollPeriodMs) : pollPeriodMs_(pollPeriodMs) {}
  ~RealBusNotices() override { Stop(); }

  // udev where its daemon runs, otherwise polling with the snapshot.
  void Start(Raise raise, BusSnapshot snapshot) override;
  void Stop() override;
  Kind Source() const override { return kind_; }

  // Whether udev runs on this machine (its control socket exists).
  static bool UdevAvailable();

 private:
  bool StartUdev();
  void StartPolling();
  void ReadUdev(int monitorFd);
  void Poll();
  bool WaitOrStop(int ms);  // false when stopped

  const int pollPeriodMs_;
  Raise raise_;
  BusSnapshot snapshot_;
  Kind kind_ = Kind::None;
  struct Udev;
  Udev* udev_ = nullptr;
  int stopFd_ = -1;  // an eventfd that wakes the udev thread for the stop
  std::mutex mutex_;
  std::condition_variable stopped_;
  bool stopping_ = false;
  std::thread thread_;
};
