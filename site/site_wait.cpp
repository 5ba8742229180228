#include "site/site_wait.h"

#include <algorithm>

#include "site/site_host.h"
#include "site/site_system.h"

void MyDelay(SiteHost& host, int ms) {
  const auto deadline = WaitClock::now() + std::chrono::milliseconds(ms);
  for (auto now = WaitClock::now(); now < deadline; now = WaitClock::now()) {
    host.WaitForMessages(std::chrono::ceil<std::chrono::milliseconds>(deadline - now));
  }
}

bool WaitWhile(SiteSystem& system, const std::function<bool()>& busy,
               WaitClock::time_point deadline) {
  SiteHost& host = system.Host();
  for (;;) {
    // Read before the look: a change after the look has a later count and ends the sleep.
    const std::uint64_t seen = host.Wakes();
    if (!busy()) return true;
    const auto now = WaitClock::now();
    if (now >= deadline) return false;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
    host.WaitForWake(seen, std::min(left, host.IdleRound()));
  }
}

bool WaitForSites(SiteSystem& system, WaitClock::time_point deadline) {
  return WaitWhile(
      system, [&] { return system.Panels().AnySelectedSiteRunning(); }, deadline);
}

bool WaitForStartedSites(SiteSystem& system, const std::vector<int>& sites,
                         WaitClock::time_point deadline) {
  const auto anyRunning = [&] {
    return std::any_of(sites.begin(), sites.end(),
                       [&](int site) { return system.Engine().IsRunning(site); });
  };
  return WaitWhile(system, anyRunning, deadline);
}
