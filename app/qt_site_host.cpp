#include "app/qt_site_host.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QString>
#include <QThread>
#include <utility>

#include "app/site_frame.h"

QtSiteHost::QtSiteHost(QObject* parent) : QObject(parent) {}

QtSiteHost::~QtSiteHost() = default;

void QtSiteHost::SetFrame(int site, TSiteFrame* frame) {
  if (site >= 0 && site < kSiteCount) frames_[static_cast<std::size_t>(site)] = frame;
}

TSiteFrame* QtSiteHost::Frame(int site) const {
  return FrameOrNull(site);
}

TSiteFrame* QtSiteHost::FrameOrNull(int site) const {
  if (site < 0 || site >= kSiteCount) return nullptr;
  return frames_[static_cast<std::size_t>(site)];
}

bool QtSiteHost::OnUiThread() const {
  return QThread::currentThread() == thread();
}

// One FIFO for every caller keeps the order of the calls of one site, and also the order between
// a panel change and the statistics that count it.
void QtSiteHost::Post(std::function<void()> work) {
  bool postDrain = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(std::move(work));
    if (!drainPosted_) {
      drainPosted_ = true;
      postDrain = true;
    }
  }
  if (OnUiThread()) {
    Drain();
    return;
  }
  if (postDrain)
    QMetaObject::invokeMethod(
        this, [this] { Drain(); }, Qt::QueuedConnection);
}

void QtSiteHost::Drain() {
  if (draining_) return;  // a call made by queued work runs after it, in the loop below
  draining_ = true;
  for (;;) {
    std::deque<std::function<void()>> batch;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (queue_.empty()) {
        drainPosted_ = false;
        draining_ = false;
        return;
      }
      batch.swap(queue_);
    }
    for (auto& work : batch) work();
  }
}

void QtSiteHost::SetStatus(int site, std::uint8_t status) {
  TSiteFrame* frame = FrameOrNull(site);
  if (!frame) return;
  frame->StoreStatus(status);
  Post([frame, status] { frame->ShowStatus(status); });
}

TSiteStatus QtSiteHost::Status(int site) const {
  const TSiteFrame* frame = FrameOrNull(site);
  return frame ? frame->Status() : siNone;
}

void QtSiteHost::SetChecked(int site, bool checked) {
  TSiteFrame* frame = FrameOrNull(site);
  if (!frame) return;
  frame->StoreChecked(checked);
  Post([frame, checked] { frame->ShowChecked(checked); });
}

bool QtSiteHost::Checked(int site) const {
  const TSiteFrame* frame = FrameOrNull(site);
  return frame && frame->Checked();
}

void QtSiteHost::SetBigStatus(int site, std::uint8_t status) {
  TSiteFrame* frame = FrameOrNull(site);
  if (!frame) return;
  Post([frame, status] { frame->SetBigStatus(status); });
}

void QtSiteHost::SetPassCount(int site, std::uint32_t count) {
  TSiteFrame* frame = FrameOrNull(site);
  if (!frame) return;
  frame->StorePassCount(count);
  Post([frame, count] { frame->ShowPassCount(count); });
}

std::uint32_t QtSiteHost::PassCount(int site) const {
  const TSiteFrame* frame = FrameOrNull(site);
  return frame ? frame->PassCount() : 0;
}

void QtSiteHost::SetFailCount(int site, std::uint32_t count) {
  TSiteFrame* frame = FrameOrNull(site);
  if (!frame) return;
  frame->StoreFailCount(count);
  Post([frame, count] { frame->ShowFailCount(count); });
}

std::uint32_t QtSiteHost::FailCount(int site) const {
  const TSiteFrame* frame = FrameOrNull(site);
  return frame ? frame->FailCount() : 0;
}

void QtSiteHost::SetHintText(int site, const std::string& text) {
  TSiteFrame* frame = FrameOrNull(site);
  if (!frame) return;
  Post([frame, hint = QString::fromStdString(text)] { frame->setToolTip(hint); });
}

void QtSiteHost::SetSiteGroupEnabled(bool enabled) {
  Post([this, enabled] {
    if (hooks_.setSiteGroupEnabled) hooks_.setSiteGroupEnabled(enabled);
  });
}

void QtSiteHost::UpdateStatistics() {
  if (hooks_.updateStatistics) hooks_.updateStatistics();
}

// A worker has no event loop of the windows to run; only the UI thread processes them.
void QtSiteHost::ProcessMessages() {
  if (OnUiThread()) QCoreApplication::processEvents();
}
