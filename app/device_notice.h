#pragma once
// The platform's notice that a USB device arrived or left, delivered as one signal on the UI
// thread. Sources:
// - the udev netlink monitor on the "usb" subsystem (real units, where udev runs);
// - a look at the bus every second, comparing the matching devices, where no event source works
//   (a container without udev);
// - the simulated bus's own notice.
// Every notice reaches the receiver through the UI thread's event queue (queued), so the rescan
// it triggers never runs on another thread. Notices are held back until Enable(): start-up
// handles them only after its first scan.
#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QSocketNotifier;
class QTimer;
namespace sim {
class SimBus;
}

class DeviceNoticeSource : public QObject {
  Q_OBJECT
 public:
  enum class Kind { None, Udev, Polling, Simulated };
  // The matching devices on the bus now, each as a stable name (bus and device number).
  using BusSnapshot = std::function<std::vector<std::string>()>;

  explicit DeviceNoticeSource(QObject* parent = nullptr);
  ~DeviceNoticeSource() override;

  // Whether udev runs on this machine (its control socket exists).
  static bool UdevAvailable();
  // Starts the udev monitor; false (nothing started) when no udev event source works.
  bool StartUdev();
  // Looks at the bus every `periodMs` and raises a notice when the set of devices changed.
  void StartPolling(BusSnapshot snapshot, int periodMs = 1000);
  // The simulated bus's notices; the callback is removed again before this object goes.
  void AttachSimulatedBus(sim::SimBus& bus);
  // Stops every source (the destructor does it too).
  void Stop();

  void Enable(bool on) { enabled_.store(on); }
  bool Enabled() const { return enabled_.load(); }
  Kind Source() const { return kind_; }
  // Polling: one look now (tests, and the timer).
  void PollOnce();

 signals:
  void DeviceChanged();

 private:
  void Raise();  // any thread: queue one notice for the UI thread
  void OnUdevReadable();

  struct Udev;
  std::unique_ptr<Udev> udev_;
  QSocketNotifier* udevNotifier_ = nullptr;
  QTimer* pollTimer_ = nullptr;
  BusSnapshot snapshot_;
  std::vector<std::string> lastSeen_;
  sim::SimBus* simBus_ = nullptr;
  Kind kind_ = Kind::None;
  std::atomic<bool> enabled_{false};
};
