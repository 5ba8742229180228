#pragma once
// The tests' waits for sites: the engine's own waits with a deadline, so that a regression fails
// the test instead of hanging it. At the deadline every loop is told to stop and every link is
// closed, which ends every worker that talks to a unit, and the test can shut the system down.
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "site/site_system.h"
#include "site/site_wait.h"

inline constexpr std::chrono::seconds kSiteWaitLimit{120};

inline void EndEveryWorker(SiteSystem& system) {
  system.Session().RequestStop();
  for (int site = 0; site < kSiteCount; ++site) system.Link(site).CloseDevice();
}

// WaitForSites, at most kSiteWaitLimit; false (and the test failed) when sites still ran then.
inline bool WaitForSitesOrFail(SiteSystem& system) {
  if (WaitForSites(system, WaitClock::now() + kSiteWaitLimit)) return true;
  ADD_FAILURE() << "selected sites still running after " << kSiteWaitLimit.count() << " s";
  EndEveryWorker(system);
  WaitForSites(system, WaitClock::now() + kSiteWaitLimit);
  return false;
}

// WaitForStartedSites, at most kSiteWaitLimit; false (and the test failed) when a worker still
// ran then.
inline bool WaitForStartedSitesOrFail(SiteSystem& system, const std::vector<int>& sites) {
  if (WaitForStartedSites(system, sites, WaitClock::now() + kSiteWaitLimit)) return true;
  ADD_FAILURE() << "site workers still running after " << kSiteWaitLimit.count() << " s";
  EndEveryWorker(system);
  WaitForStartedSites(system, sites, WaitClock::now() + kSiteWaitLimit);
  return false;
}
