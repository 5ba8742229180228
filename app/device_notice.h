#pragma once
// The bus's device notices delivered as one signal on the UI thread. Every notice reaches the
// receiver through the UI thread's event queue (queued), so the rescan it triggers never runs on
// another thread. Notices are held back until Enable(): start-up handles them only after its
// first scan.
#include <QObject>
#include <atomic>

#include "bus/device_notices.h"

class DeviceNoticeSource : public QObject {
  Q_OBJECT
 public:
  // `notices` is the bus's source; it outlives this object.
  explicit DeviceNoticeSource(DeviceNotices& notices, QObject* parent = nullptr);
  ~DeviceNoticeSource() override;

  // Starts the bus's source; the snapshot serves a source that has to look at the bus itself.
  void Start(DeviceNotices::BusSnapshot snapshot);
  // Stops the source (the destructor does it too).
  void Stop();

  void Enable(bool on) { enabled_.store(on); }
  bool Enabled() const { return enabled_.load(); }
  DeviceNotices::Kind Source() const { return notices_.Source(); }

 signals:
  void DeviceChanged();

 private:
  void Raise();  // any thread: queue one notice for the UI thread

  DeviceNotices& notices_;
  std::atomic<bool> enabled_{false};
};
