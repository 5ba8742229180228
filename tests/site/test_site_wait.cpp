// The UI thread's waits and the panel model: which states WaitForSites waits for, that it keeps
// the host's events going meanwhile, that the engine's changes wake it, and the panel rules the
// rest of the system relies on.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "site/site_wait.h"
#include "tests/site/site_test_rig.h"
#include "tests/site/site_waits.h"

namespace {

using Clock = std::chrono::steady_clock;

// Lets a selected site leave its state after a number of event rounds, as a worker would. The
// rounds come at the host's idle round, as nothing wakes the wait before.
void FinishAfter(SiteRig& rig, int site, unsigned rounds) {
  rig.host.SetIdleRound(std::chrono::milliseconds(1));
  rig.host.SetProcessMessagesHook([&rig, site, rounds] {
    if (rig.host.ProcessMessagesCalls() >= rounds) rig.panels.SetStatus(site, siPass);
  });
}

TEST(WaitForSitesTest, ReturnsAtOnceWhenNoSelectedSiteRuns) {
  SiteRig rig(0);
  EXPECT_FALSE(rig.panels.Checked(3));
  rig.panels.SetStatus(3, siWorking);  // working, but not selected
  rig.panels.SetStatus(4, siPut);
  rig.panels.SetStatus(0, siReady);  // selected, idle
  rig.panels.SetStatus(1, siReady);
  rig.panels.SetStatus(1, siPushKey);  // a key run waiting for its key is not waited for
  WaitForSitesOrFail(rig.system);
  EXPECT_EQ(rig.host.ProcessMessagesCalls(), 0u);
}

TEST(WaitForSitesTest, WaitsForEveryRunningStateOfASelectedSite) {
  for (TSiteStatus running : {siWorking, siTake, siPut}) {
    SiteRig rig(0);
    rig.panels.SetStatus(2, siReady);
    rig.panels.SetStatus(2, running);
    rig.panels.SetStatus(5, siWorking);  // unselected and never finishing: ignored
    FinishAfter(rig, 2, 30);
    WaitForSitesOrFail(rig.system);
    EXPECT_GE(rig.host.ProcessMessagesCalls(), 30u) << int{running};
    EXPECT_EQ(rig.panels.Status(2), siPass);
  }
}

TEST(WaitForSitesTest, WaitsForStartedSitesSelectedOrNot) {
  SiteRig rig(0);
  BusyWorker busy(rig, 6);  // site 6 is never selected
  ASSERT_TRUE(busy.Started());
  rig.host.SetIdleRound(std::chrono::milliseconds(1));
  rig.host.SetProcessMessagesHook([&] {
    if (rig.host.ProcessMessagesCalls() >= 30) busy.Release();
  });
  WaitForSitesOrFail(rig.system);
  EXPECT_EQ(rig.host.ProcessMessagesCalls(), 0u);
  WaitForStartedSitesOrFail(rig.system, {6});
  EXPECT_GE(rig.host.ProcessMessagesCalls(), 30u);
  EXPECT_FALSE(rig.system.Engine().IsRunning(6));
}

struct WakeCase {
  const char* name;
  bool selected;
  std::function<bool(SiteRig&, int)> wait;
};

// The wait sleeps on the host's wake count, not on a clock: with an idle round of an hour only
// the engine's wake can end it within the limit, whenever the worker ends (before the wait
// looks, between its look and its sleep, or during the sleep).
TEST(WaitForSitesTest, TheWorkersEndWakesTheWait) {
  const std::vector<WakeCase> cases = {
      {"WaitForSites: the end state", true,
       [](SiteRig& rig, int) { return WaitForSitesOrFail(rig.system); }},
      // The end state comes before the worker is done: only the engine's own wake ends this.
      {"WaitForStartedSites: the worker's end", false,
       [](SiteRig& rig, int site) { return WaitForStartedSitesOrFail(rig.system, {site}); }},
  };
  constexpr int kSite = 4;
  for (const WakeCase& c : cases) {
    SCOPED_TRACE(c.name);
    SiteRig rig(0);
    rig.host.SetIdleRound(std::chrono::hours(1));
    if (c.selected) rig.panels.SetStatus(kSite, siReady);
    BusyWorker busy(rig, kSite);
    ASSERT_TRUE(busy.Started());
    std::thread release([&] { busy.Release(); });
    EXPECT_TRUE(c.wait(rig, kSite));
    release.join();
    // WaitForSites returns at the end state, which the worker sets before its last empty step.
    if (!c.selected) {
      EXPECT_FALSE(rig.system.Engine().IsRunning(kSite));
    }
    EXPECT_EQ(rig.panels.Status(kSite), siNone);  // no unit on the rig
  }
}

TEST(WaitForSitesTest, MyDelayKeepsTheEventsGoingForTheWholeWait) {
  // Counted, not timed: the wait sleeps through to its end in as few rounds as the host
  // allows (a host without an event loop: one), never a round per millisecond.
  HeadlessSiteHost host;
  const auto start = Clock::now();
  MyDelay(host, 30);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(30));
  EXPECT_GE(host.ProcessMessagesCalls(), 1u);
  EXPECT_LE(host.ProcessMessagesCalls(), 2u);
  const unsigned before = host.ProcessMessagesCalls();
  MyDelay(host, 0);
  EXPECT_EQ(host.ProcessMessagesCalls(), before);  // no wait, no round
}

TEST(SitePanelsTest, PanelFactsFollowThePanelRules) {
  SiteRig rig(0);
  SitePanels& panels = rig.panels;
  panels.SetStatus(0, siReady);
  EXPECT_TRUE(panels.Checked(0));
  panels.SetChecked(0, false);
  panels.SetStatus(0, siPass);
  EXPECT_FALSE(panels.Checked(0));  // only siReady selects
  panels.SetStatus(0, siReady);
  panels.SetStatus(0, siNone);
  EXPECT_FALSE(panels.Checked(0));  // a lost unit leaves the next run

  panels.SetStatus(1, siFail);
  panels.SetStatus(1, 9);  // out of range: repaint only
  EXPECT_EQ(panels.Status(1), siFail);

  panels.SetBigStatus(2, siPass);
  EXPECT_EQ(panels.BigStatus(2), siPass);
  panels.SetBigStatus(2, siWorking);
  EXPECT_EQ(panels.BigStatus(2), 0);

  panels.SetStatus(8, siReady);  // no such site
  panels.SetHintText(-1, "x");
  EXPECT_EQ(panels.Status(8), siNone);
  EXPECT_EQ(rig.host.EventsFor(8).size(), 0u);
  EXPECT_EQ(rig.host.EventsFor(1).size(), 2u);  // the repaint is shown too
}

TEST(SitePanelsTest, StatisticsSumEveryCounterAndResetClearsThem) {
  SiteRig rig(0);
  for (int site = 0; site < kSiteCount; ++site) {
    rig.panels.SetPassCount(site, static_cast<std::uint32_t>(site + 1));
    rig.panels.SetFailCount(site, 2);
  }
  rig.host.ClearEvents();
  rig.panels.UpdateStatistics();
  std::vector<PanelEvent> events = rig.host.Events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].kind, PanelEvent::Kind::Statistics);
  EXPECT_EQ(events[0].value, 36u);
  EXPECT_EQ(events[0].value2, 16u);

  rig.panels.ResetStatistics();
  EXPECT_EQ(rig.panels.Totals().Pass, 0u);
  EXPECT_EQ(rig.panels.Totals().Fail, 0u);
  EXPECT_EQ(rig.host.Events().back().kind, PanelEvent::Kind::Statistics);
  EXPECT_EQ(rig.host.Events().back().value, 0u);
}

}  // namespace
