#include "site/site_start_rule.h"

#include "site/command.h"
#include "site/site_system.h"

namespace {

bool StartOne(SiteSystem& system, RunRecipe recipe, int site) {
  OpcodeQueue queue = RecipeQueue(recipe);
  return Command(system, site, queue).Started();
}

// A site with a unit that no worker holds.
bool Idle(SiteSystem& system, int site) {
  const TSiteStatus status = system.Panels().Status(site);
  return status != siNone && !SiteHeld(status);
}

}  // namespace

bool SiteHeld(TSiteStatus status) {
  return status == siWorking || status == siTake || status == siPut || status == siPushKey;
}

SiteStartDecision DecideSiteStart(SiteListItem item, TSiteStatus status) {
  if (!item.Enabled || !item.Ticked) return {false, {status != siNone, false}};
  if (status == siNone) return {false, {false, false}};
  return {!SiteHeld(status), item};
}

std::vector<int> StartOnListedSites(SiteSystem& system, RunRecipe recipe, SiteList& list) {
  std::vector<int> started;
  for (int site = 0; site < kSiteCount; ++site) {
    SiteListItem& item = list[SiteSlot(site)];
    const SiteStartDecision decision = DecideSiteStart(item, system.Panels().Status(site));
    item = decision.Item;
    if (decision.Start && StartOne(system, recipe, site)) started.push_back(site);
  }
  return started;
}

std::vector<int> StartOnCheckedSites(SiteSystem& system, RunRecipe recipe) {
  std::vector<int> started;
  for (int site = 0; site < kSiteCount; ++site) {
    if (!system.Panels().Checked(site) || !Idle(system, site)) continue;
    if (StartOne(system, recipe, site)) started.push_back(site);
  }
  return started;
}

std::vector<int> StartOnPresentSites(SiteSystem& system, RunRecipe recipe) {
  std::vector<int> started;
  for (int site = 0; site < kSiteCount; ++site) {
    if (Idle(system, site) && StartOne(system, recipe, site)) started.push_back(site);
  }
  return started;
}

void ClearIdleReports(SiteSystem& system, const std::function<void(S_GetUSBCmdData&)>& clear) {
  // A worker's last report happens before it sets its end state, so a site seen unheld here
  // is written by nobody until the next start.
  for (int site = 0; site < kSiteCount; ++site) {
    if (!SiteHeld(system.Panels().Status(site))) clear(system.CmdData(site));
  }
}
