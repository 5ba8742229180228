// Which sites a window command starts: the per-site list rule (the starters are driven through
// the options window's tests).
#include <gtest/gtest.h>

#include "site/site_start_rule.h"

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

}  // namespace
