// The UI thread's waits and the headless panel: which states WaitForSites waits for, that it
// keeps the host's events going meanwhile, and the panel facts the rest of the system reads.
#include <gtest/gtest.h>

#include <chrono>

#include "site/headless_site_host.h"
#include "site/site_wait.h"

namespace {

using Clock = std::chrono::steady_clock;

// Lets a selected site leave `state` after a number of event rounds, as a worker would.
void FinishAfter(HeadlessSiteHost& host, int site, unsigned rounds) {
  host.SetProcessMessagesHook([&host, site, rounds] {
    if (host.ProcessMessagesCalls() >= rounds) host.SetStatus(site, siPass);
  });
}

TEST(WaitForSitesTest, ReturnsAtOnceWhenNoSelectedSiteRuns) {
  HeadlessSiteHost host;
  EXPECT_FALSE(host.Checked(3));
  host.SetStatus(3, siWorking);  // working, but not selected
  host.SetStatus(4, siPut);
  host.SetStatus(0, siReady);  // selected, idle
  host.SetStatus(1, siReady);
  host.SetStatus(1, siPushKey);  // a key run waiting for its key is not waited for
  WaitForSites(host);
  EXPECT_EQ(host.ProcessMessagesCalls(), 0u);
}

TEST(WaitForSitesTest, WaitsForEveryRunningStateOfASelectedSite) {
  for (TSiteStatus running : {siWorking, siTake, siPut}) {
    HeadlessSiteHost host;
    host.SetStatus(2, siReady);
    host.SetStatus(2, running);
    host.SetStatus(5, siWorking);  // unselected and never finishing: ignored
    FinishAfter(host, 2, 30);
    WaitForSites(host);
    EXPECT_GE(host.ProcessMessagesCalls(), 30u) << int{running};
    EXPECT_EQ(host.Status(2), siPass);
  }
}

TEST(WaitForSitesTest, MyDelayKeepsTheEventsGoingForTheWholeWait) {
  // Counted, not timed: a loaded machine may give the wait only a few rounds, but never
  // none, and never more than one per millisecond (each round sleeps at least that long).
  HeadlessSiteHost host;
  const auto start = Clock::now();
  MyDelay(host, 30);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(30));
  EXPECT_GE(host.ProcessMessagesCalls(), 1u);
  EXPECT_LE(host.ProcessMessagesCalls(), 30u);
  const unsigned before = host.ProcessMessagesCalls();
  MyDelay(host, 0);
  EXPECT_EQ(host.ProcessMessagesCalls(), before);  // no wait, no round
}

TEST(HeadlessSiteHostTest, PanelFactsFollowThePanelRules) {
  HeadlessSiteHost host(true);
  host.SetStatus(0, siReady);
  EXPECT_TRUE(host.Checked(0));
  host.SetChecked(0, false);
  host.SetStatus(0, siPass);
  EXPECT_FALSE(host.Checked(0));  // only siReady selects
  host.SetStatus(0, siReady);
  host.SetStatus(0, siNone);
  EXPECT_FALSE(host.Checked(0));  // a lost unit leaves the next run

  host.SetStatus(1, siFail);
  host.SetStatus(1, 9);  // out of range: repaint only
  EXPECT_EQ(host.Status(1), siFail);

  host.SetBigStatus(2, siPass);
  EXPECT_EQ(host.BigStatus(2), siPass);
  host.SetBigStatus(2, siWorking);
  EXPECT_EQ(host.BigStatus(2), 0);

  host.SetStatus(8, siReady);  // no such site
  host.SetHintText(-1, "x");
  EXPECT_EQ(host.Status(8), siNone);
  EXPECT_EQ(host.CallsFor(8).size(), 0u);
  EXPECT_EQ(host.CallsFor(1).size(), 2u);
}

}  // namespace
