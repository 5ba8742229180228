#include "site/site_wait.h"

#include <chrono>
#include <thread>

#include "site/site_host.h"
#include "site/site_system.h"

namespace {
constexpr int kSitePollMs = 10;
}  // namespace

void MyDelay(SiteHost& host, int ms) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
  for (auto now = Clock::now(); now < deadline; now = Clock::now()) {
    host.WaitForMessages(std::chrono::ceil<std::chrono::milliseconds>(deadline - now));
  }
}

void WaitForSites(SiteSystem& system) {
  while (system.Panels().AnySelectedSiteRunning()) MyDelay(system.Host(), kSitePollMs);
}

void WaitForStartedSites(SiteSystem& system, const std::vector<int>& sites) {
  const auto anyRunning = [&] {
    for (int site : sites) {
      if (system.Engine().IsRunning(site)) return true;
    }
    return false;
  };
  while (anyRunning()) MyDelay(system.Host(), kSitePollMs);
}
