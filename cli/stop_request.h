#pragma once
// Ctrl-C (or SIGTERM) for the command-line program: it ends an automatic run as "Stop All"
// does, so every site finishes the part it is on and nothing is left half programmed. Any
// thread may request the stop; the run attaches its session while it runs.
#include <atomic>
#include <condition_variable>
#include <mutex>

#include "site/run_session.h"

class StopRequest {
 public:
  void Request() {
    std::lock_guard<std::mutex> lock(mutex_);
    requested_ = true;
    if (session_ != nullptr) session_->RequestStop();
    requestedSignal_.notify_all();
  }
  // Returns once a stop is requested (a program that only serves waits here).
  void Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    requestedSignal_.wait(lock, [this] { return requested_.load(); });
  }
  bool Requested() const { return requested_.load(); }

  // While attached, a request stops the session's run at once; one made before is passed on
  // (a start clears it, so the caller passes on one that came during the start).
  void Attach(RunSession& session) {
    std::lock_guard<std::mutex> lock(mutex_);
    session_ = &session;
    if (requested_) session.RequestStop();
  }
  void Detach() {
    std::lock_guard<std::mutex> lock(mutex_);
    session_ = nullptr;
  }

 private:
  std::mutex mutex_;  // orders Attach against Request
  std::condition_variable requestedSignal_;
  std::atomic<bool> requested_{false};
  RunSession* session_ = nullptr;
};
