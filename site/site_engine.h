#pragma once
// The worker threads of the eight sites. A site has at most one worker; the engine keeps its
// thread and joins it before the next worker of that site starts and when the system shuts
// down, so no worker outlives the objects it works on.
#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

#include "site/site_status.h"
#include "site/thread_info.h"

class SiteSystem;

class SiteEngine {
 public:
  explicit SiteEngine(SiteSystem& system) : system_(system) {}
  ~SiteEngine() { JoinAll(); }
  SiteEngine(const SiteEngine&) = delete;
  SiteEngine& operator=(const SiteEngine&) = delete;

  // Waits for the site's previous worker to end, sets the panel to siWorking and starts a
  // worker on `info`. False (nothing started) for a site index outside 0..7 or after
  // JoinAll(). Callers must not start work on a site whose worker still runs; if one does,
  // this waits for that worker rather than run two on one link.
  bool Start(std::unique_ptr<S_ThreadInfo> info);

  bool IsRunning(int site) const;
  bool AnyRunning() const;
  unsigned StartedCount() const { return started_.load(); }

  // Joins every worker and refuses later starts. Called by the system before it goes.
  void JoinAll();

 private:
  void Run(std::unique_ptr<S_ThreadInfo> info);

  SiteSystem& system_;
  mutable std::mutex mutex_;  // guards workers_ and closed_
  std::array<std::thread, kSiteCount> workers_;
  bool closed_ = false;
  std::array<std::atomic<bool>, kSiteCount> running_{};
  std::atomic<unsigned> started_{0};
};
