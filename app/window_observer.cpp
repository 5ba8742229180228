#include "app/window_observer.h"

#include <QObject>
#include <QThread>
#include <utility>

#include "site/run_session.h"

WindowObserver::WindowObserver(RunSession& session, QObject& window)
    : session_(session), window_(window) {
  session_.Attach(*this);
}

WindowObserver::~WindowObserver() {
  session_.Detach(*this);
}

void WindowObserver::OnWindowThread(std::function<void()> show) {
  if (QThread::currentThread() == window_.thread()) {
    show();
  } else {  // dropped with the window if it goes first
    QMetaObject::invokeMethod(&window_, std::move(show), Qt::QueuedConnection);
  }
}
