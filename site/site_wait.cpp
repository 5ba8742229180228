#include "site/site_wait.h"

#include <chrono>
#include <thread>

#include "site/site_host.h"

namespace {

constexpr int kSitePollMs = 10;

bool StillRunning(TSiteStatus status) {
  return status == siWorking || status == siTake || status == siPut;
}

bool AnySelectedSiteRunning(const SiteHost& host) {
  for (int site = 0; site < kSiteCount; ++site) {
    if (host.Checked(site) && StillRunning(host.Status(site))) return true;
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

void WaitForSites(SiteHost& host) {
  while (AnySelectedSiteRunning(host)) MyDelay(host, kSitePollMs);
}
