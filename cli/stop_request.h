#pragma once
// Ctrl-C (or SIGTERM) for the command-line program: it ends an automatic run as "Stop All"
// does, so every site finishes the part it is on and nothing is left half programmed. Any
// thread may request the stop; the run attaches its controls while it runs.
#include <atomic>
#include <condition_variable>
#include <mutex>

#include "site/run_controls.h"

class StopRequest {
 public:
  void Request() {
    std::lock_guard<std::mutex> lock(mutex_);
    requested_ = true;
    if (controls_ != nullptr) controls_->StopAllEnabled = false;
    requestedSignal_.notify_all();
  }
  // Returns once a stop is requested (a program that only serves waits here).
  void Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    requestedSignal_.wait(lock, [this] { return requested_.load(); });
  }
  bool Requested() const { return requested_.load(); }

  // While attached, a request disables "Stop All" of these controls at once.
  void Attach(RunControls& controls) {
    std::lock_guard<std::mutex> lock(mutex_);
    controls_ = &controls;
    if (requested_) controls.StopAllEnabled = false;
  }
  void Detach() {
    std::lock_guard<std::mutex> lock(mutex_);
    controls_ = nullptr;
  }

 private:
  std::mutex mutex_;  // orders Attach against Request
  std::condition_variable requestedSignal_;
  std::atomic<bool> requested_{false};
  RunControls* controls_ = nullptr;
};
