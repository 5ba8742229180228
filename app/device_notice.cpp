#include "app/device_notice.h"

#include <QMetaObject>
#include <utility>

DeviceNoticeSource::DeviceNoticeSource(DeviceNotices& notices, QObject* parent)
    : QObject(parent), notices_(notices) {}

DeviceNoticeSource::~DeviceNoticeSource() {
  Stop();
}

void DeviceNoticeSource::Start(DeviceNotices::BusSnapshot snapshot) {
  notices_.Start([this] { Raise(); }, std::move(snapshot));
}

void DeviceNoticeSource::Stop() {
  notices_.Stop();  // no Raise runs after this
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
