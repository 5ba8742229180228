#include "site/site_wait.h"

#include <chrono>
#include <thread>

#include "site/site_host.h"
#include "site/site_system.h"

namespace {
constexpr int kSitePollMs = 10;
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

void WaitForStartedSites(SiteSystem& system, const std::vector<int>& sites) {
  const auto anyRunning = [&] {
    for (int site : sites) {
      if (system.Engine().IsRunning(site)) return true;
    }
    return false;
  };
  while (anyRunning()) MyDelay(system.Host(), kSitePollMs);
}
