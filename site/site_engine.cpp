#include "site/site_engine.h"

#include <utility>

#include "site/command.h"
#include "site/site_context.h"
#include "site/site_system.h"

bool SiteEngine::Start(std::unique_ptr<S_ThreadInfo> info) {
  const int site = info ? info->SiteIndex : -1;
  if (!IsSiteIndex(site)) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  if (closed_) return false;
  std::thread& slot = workers_[SiteSlot(site)];
  // The previous worker has set its end state already when a starter sees the site idle; it
  // may still be in its last empty step, so this wait is short.
  if (slot.joinable()) slot.join();
  // siWorking is set before the thread exists, so a WaitForSites right after the Command
  // cannot miss the work.
  system_.Panels().SetStatus(site, siWorking);
  running_[SiteSlot(site)] = true;
  ++started_;
  slot = std::thread(&SiteEngine::Run, this, std::move(info));
  return true;
}

void SiteEngine::Run(std::unique_ptr<S_ThreadInfo> info) {
  const int site = info->SiteIndex;
  // The one context of this worker: everything its operations reach of the system.
  SiteContext ctx(system_, site);
  SiteWorker(system_.Opcodes(), ctx, std::move(info));
  running_[SiteSlot(site)] = false;
  // After the store: a wait that reads the wake count before it looks cannot miss the end.
  system_.Host().Wake();
}

bool SiteEngine::IsRunning(int site) const {
  return IsSiteIndex(site) && running_[SiteSlot(site)].load();
}

bool SiteEngine::AnyRunning() const {
  for (const auto& running : running_) {
    if (running.load()) return true;
  }
  return false;
}

void SiteEngine::JoinAll() {
  std::lock_guard<std::mutex> lock(mutex_);
  closed_ = true;
  for (std::thread& worker : workers_) {
    if (worker.joinable()) worker.join();
  }
}
