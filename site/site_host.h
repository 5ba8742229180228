#pragma once
// The one interface through which the site engine reaches a front end. The engine keeps every
// fact in its own panel model (SitePanels) and run controls (RunControls); a front end only
// shows the changes and lets the waiting UI thread handle its events.
//
// Threading contract: Show() is called from any thread (workers included), in the order of the
// changes; an implementation applies the events of one site in that order on its UI thread.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "site/panel_event.h"

inline constexpr int kBoxOk = 1;  // the answer of a box's OK button

class SiteHost {
 public:
  virtual ~SiteHost() = default;

  // A panel, the site group or the statistics changed; the model holds the new value already.
  virtual void Show(const PanelEvent& event) = 0;
  // Lets the UI thread handle its pending events during a wait; called on the waiting thread.
  // A front end without windows just returns.
  virtual void ProcessMessages() = 0;
  // Waits `limit` on the waiting thread while the front end handles its events. A host without
  // an event loop sleeps once and then handles what is pending; a host with one sleeps in it,
  // so a long wait costs no wake-ups while nothing happens.
  virtual void WaitForMessages(std::chrono::milliseconds limit) {
    std::this_thread::sleep_for(limit);
    ProcessMessages();
  }

  // Any thread: a fact a waiting UI thread looks at has changed (a worker ended, a panel's
  // state, selection or counter). The wakes are counted, not flagged: a wait reads Wakes()
  // before it looks at its facts, so a change made after that look ends its sleep, and a wait
  // nested in another's event handling takes nothing away from the outer one.
  virtual void Wake();
  std::uint64_t Wakes() const;
  // Sleeps until a wake after `seen` or `limit`, whichever comes first, while the front end
  // handles its events; then handles what is pending. A host without an event loop sleeps on
  // the count; the windows' host sleeps in its event loop.
  virtual void WaitForWake(std::uint64_t seen, std::chrono::milliseconds limit);
  // The longest sleep of a wait that is not woken: a safety net for a fact that changed
  // unannounced, and the pace of a test's hook on ProcessMessages while nothing changes.
  std::chrono::milliseconds IdleRound() const { return idleRound_.load(); }
  void SetIdleRound(std::chrono::milliseconds round) { idleRound_ = round; }

  // A modal message box (flags and answers as project/message_box_fn.h and the windows use
  // them); returns the pressed button. A front end without windows answers by itself.
  virtual int MessageBox(const std::string& text, const std::string& caption, unsigned flags) = 0;
  // The system cannot go on (its resource pack is missing): the front end ends in order, as
  // it does at close. Any thread; returns at once.
  virtual void RequestExit() = 0;

 private:
  mutable std::mutex wakeMutex_;  // guards wakes_
  std::condition_variable woken_;
  std::uint64_t wakes_ = 0;
  std::atomic<std::chrono::milliseconds> idleRound_{std::chrono::seconds(1)};
};

// The host of a system that has no front end attached: shows nothing, has no events.
class NoSiteHost final : public SiteHost {
 public:
  void Show(const PanelEvent&) override {}
  void ProcessMessages() override {}
  int MessageBox(const std::string&, const std::string&, unsigned) override { return kBoxOk; }
  void RequestExit() override {}
};
