#include "site/site_wait.h"

#include <chrono>
#include <thread>

#include "site/site_host.h"
#include "site/site_start_rule.h"
#include "site/site_system.h"

namespace {
constexpr int kSitePollMs = 10;

bool AnyRunning(SiteSystem& system, const std::vector<int>& sites) {
  for (int site : sites) {
    const TSiteStatus status = system.Panels().Status(site);
    if (status == siWorking || status == siTake || status == siPut) return true;
  }
  return false;
}

bool AnyHeld(SiteSystem& system, const std::vector<int>& sites) {
  for (int site : sites) {
    if (SiteHeld(system.Panels().Status(site))) return true;
  }
  return false;
}
}  // namespace

void MyDelay(SiteHost& host, int ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    host.ProcessMessages();
  }
}

void WaitForSites(SiteSystem& system) {
  while (system.Panels().AnySelectedSiteRunning()) MyDelay(system.Host(), kSitePollMs);
}

void WaitForSites(SiteSystem& system, const std::vector<int>& started) {
  while (system.Panels().AnySelectedSiteRunning() || AnyRunning(system, started))
    MyDelay(system.Host(), kSitePollMs);
}

void WaitForSitesReleased(SiteSystem& system, const std::vector<int>& sites) {
  while (AnyHeld(system, sites)) MyDelay(system.Host(), kSitePollMs);
}
