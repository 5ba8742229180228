#pragma once
// A window's share of the run session's events. The session tells its observers on whatever
// thread the event happens; a window may only be drawn on its own, so what the window does
// with an event runs there: at once when the event comes on the window's thread (a load or
// settings read the window itself asked for), queued otherwise.
#include <functional>

#include "site/run_observer.h"

class QObject;
class RunSession;

class WindowObserver : public RunObserver {
 public:
  // Attached from here on; detached by the destructor, before the window goes.
  WindowObserver(RunSession& session, QObject& window);
  ~WindowObserver() override;
  WindowObserver(const WindowObserver&) = delete;
  WindowObserver& operator=(const WindowObserver&) = delete;

 protected:
  void OnWindowThread(std::function<void()> show);
  QObject& Window() { return window_; }

 private:
  RunSession& session_;
  QObject& window_;
};
