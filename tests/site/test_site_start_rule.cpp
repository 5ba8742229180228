// Which sites a window command starts: the per-site list rule, and the starters on simulated
// units (held sites are never started, the list shows what became of each item).
#include <gtest/gtest.h>

#include <mutex>
#include <set>

#include "site/rescan.h"
#include "site/site_start_rule.h"
#include "site/site_wait.h"
#include "tests/site/site_test_rig.h"

namespace {

TEST(SiteStartRuleTest, DecisionAndListItemForEveryItemAndState) {
  const SiteListItem on{true, true}, off{false, false}, enabledOnly{true, false},
      tickedOnly{false, true};
  struct Case {
    SiteListItem item;
    TSiteStatus status;
    bool start;
    SiteListItem after;
  };
  const Case cases[] = {
      {on, siNone, false, off},  // the unit is gone: unticked and disabled
      {on, siReady, true, on},
      {on, siPass, true, on},
      {on, siFail, true, on},
      {on, siWorking, false, on},  // held: left alone
      {on, siTake, false, on},
      {on, siPut, false, on},
      {on, siPushKey, false, on},
      {enabledOnly, siReady, false, enabledOnly},
      {enabledOnly, siNone, false, off},
      {tickedOnly, siReady, false, enabledOnly},
      {tickedOnly, siNone, false, off},
      {off, siFail, false, enabledOnly},
      {off, siWorking, false, enabledOnly},
  };
  for (const Case& c : cases) {
    const SiteStartDecision d = DecideSiteStart(c.item, c.status);
    EXPECT_EQ(d.Start, c.start) << c.item.Enabled << c.item.Ticked << int{c.status};
    EXPECT_EQ(d.Item, c.after) << c.item.Enabled << c.item.Ticked << int{c.status};
  }
}

// Three units on sites 0..2; every opcode of the recipes used records its site.
struct StartRig {
  StartRig() : rig(3) {
    for (Opcode op : {Opcodes::PowerLedFlash, Opcodes::Reset, Opcodes::HardwareSettings,
                      Opcodes::SelfTestFpgaLoad, Opcodes::BurnInTest}) {
      rig.system.Opcodes().Register(op, [this](SiteSystem&, int site, const OperationTexts&) {
        std::lock_guard<std::mutex> lock(mutex);
        ran.insert(site);
        return SiteResultCode::Pass;
      });
    }
    RescanUnits(rig.system);
  }
  std::set<int> Ran() {
    std::lock_guard<std::mutex> lock(mutex);
    return ran;
  }
  SiteRig rig;
  std::mutex mutex;
  std::set<int> ran;
};

TEST(SiteStartRuleTest, StartersSkipSitesWithoutUnitOrHeldByAWorker) {
  StartRig r;
  ASSERT_EQ(r.rig.panels.Status(2), siReady);
  r.rig.panels.SetStatus(1, siPushKey);  // a key run waiting for its key holds site 1
  SiteList list{};
  list[0] = {true, true};
  list[1] = {true, true};
  list[2] = {true, false};  // the user unticked it
  list[5] = {true, true};   // its unit went since the list was made
  const std::vector<int> started = StartOnListedSites(r.rig.system, RunRecipe::FlashLed, list);
  WaitForStartedSites(r.rig.system, started);
  EXPECT_EQ(started, std::vector<int>{0});
  EXPECT_EQ(r.Ran(), std::set<int>{0});
  EXPECT_EQ(list[1], (SiteListItem{true, true}));
  EXPECT_EQ(list[2], (SiteListItem{true, false}));
  EXPECT_EQ(list[5], (SiteListItem{false, false}));

  r.rig.panels.SetChecked(0, false);  // unselected: only the burn-in takes it
  EXPECT_EQ(StartOnCheckedSites(r.rig.system, RunRecipe::Reset), std::vector<int>{2});
  WaitForStartedSites(r.rig.system, {2});
  EXPECT_EQ(StartOnPresentSites(r.rig.system, RunRecipe::BurnIn), (std::vector<int>{0, 2}));
  WaitForStartedSites(r.rig.system, {0, 2});
  EXPECT_EQ(StartOnSites(r.rig.system, RunRecipe::Reset, {1}), std::vector<int>{});
}

}  // namespace
