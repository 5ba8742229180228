#include "app/mouse_flush.h"

#include <QCoreApplication>
#include <QEvent>

void MouseFlush::Flush() {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app || dropping_) return;
  dropping_ = true;
  app->installEventFilter(this);
  QCoreApplication::processEvents(QEventLoop::ExcludeSocketNotifiers);
  app->removeEventFilter(this);
  dropping_ = false;
}

bool MouseFlush::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
      return dropping_;
    default:
      return QObject::eventFilter(watched, event);
  }
}
