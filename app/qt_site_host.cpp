#include "app/qt_site_host.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QString>
#include <QThread>
#include <QTimer>
#include <utility>

#include "app/main_form.h"
#include "app/message_box.h"
#include "app/site_frame.h"

QtSiteHost::QtSiteHost(QObject* parent) : QObject(parent) {}

QtSiteHost::~QtSiteHost() = default;

void QtSiteHost::SetFrame(int site, TSiteFrame* frame) {
  if (IsSiteIndex(site)) frames_[SiteSlot(site)] = frame;
}

TSiteFrame* QtSiteHost::Frame(int site) const {
  return FrameOrNull(site);
}

TSiteFrame* QtSiteHost::FrameOrNull(int site) const {
  return IsSiteIndex(site) ? frames_[SiteSlot(site)] : nullptr;
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

void QtSiteHost::Show(const PanelEvent& event) {
  Post([this, event] { Draw(event); });
}

void QtSiteHost::Draw(const PanelEvent& event) {
  switch (event.kind) {
    case PanelEvent::Kind::SiteGroupEnabled:
      if (mainWindow_) mainWindow_->ShowSiteGroupEnabled(event.value != 0);
      return;
    case PanelEvent::Kind::Statistics:
      if (mainWindow_) mainWindow_->ShowStatistics(event.value, event.value2);
      return;
    default:
      if (TSiteFrame* frame = FrameOrNull(event.site)) frame->Draw(event);
  }
}

void QtSiteHost::RequestExit() {
  QMetaObject::invokeMethod(
      this, [this] { emit ExitRequested(); }, Qt::QueuedConnection);
}

// A worker has no event loop of the windows to run; only the UI thread processes them.
void QtSiteHost::ProcessMessages() {
  if (OnUiThread()) QCoreApplication::processEvents();
}

// The UI thread sleeps in the event loop until an event comes or the time is up, instead of
// waking every millisecond to look for one.
void QtSiteHost::WaitForMessages(std::chrono::milliseconds limit) {
  if (!OnUiThread()) {
    std::this_thread::sleep_for(limit);
    return;
  }
  QTimer timeUp;
  timeUp.setSingleShot(true);
  timeUp.setTimerType(Qt::PreciseTimer);
  timeUp.start(limit);
  while (timeUp.isActive()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// Counted first, then an empty event ends the event loop's sleep, so a wait in it sees the new
// count. On the UI thread the wake comes from an event being handled, which ends the round.
void QtSiteHost::Wake() {
  SiteHost::Wake();
  if (!OnUiThread())
    QMetaObject::invokeMethod(
        this, [] {}, Qt::QueuedConnection);
}

// The UI thread sleeps in the event loop, handling the windows' events, until a wake after
// `seen` or the time is up. Off the UI thread there is no loop of the windows to run.
void QtSiteHost::WaitForWake(std::uint64_t seen, std::chrono::milliseconds limit) {
  if (!OnUiThread()) {
    SiteHost::WaitForWake(seen, limit);
    return;
  }
  QTimer timeUp;
  timeUp.setSingleShot(true);
  timeUp.start(limit);
  while (timeUp.isActive() && Wakes() == seen)
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  QCoreApplication::processEvents();  // what is pending, even when the wake came first
}

int QtSiteHost::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
  if (OnUiThread()) {
    Drain();  // the panels show what happened before the question
    return ShowMessageBox(text, caption, flags);
  }
  int answer = 0;
  QMetaObject::invokeMethod(
      this, [&] { answer = ShowMessageBox(text, caption, flags); }, Qt::BlockingQueuedConnection);
  return answer;
}
