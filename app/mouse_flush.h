#pragma once
// Drops the mouse clicks that queued up while a long handler ran, so that a click made on a
// control during a run does not act once the control is enabled again.
#include <QObject>

class MouseFlush : public QObject {
  Q_OBJECT
 public:
  explicit MouseFlush(QObject* parent = nullptr) : QObject(parent) {}
  // UI thread: delivers what is pending, except mouse button events, which are dropped.
  void Flush();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool dropping_ = false;
};
