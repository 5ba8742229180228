#include "site/site_start_rule.h"

#include "site/site_system.h"

bool SiteHeld(TSiteStatus status) {
  return status == siWorking || status == siTake || status == siPut || status == siPushKey;
}

SiteStartDecision DecideSiteStart(SiteListItem item, TSiteStatus status) {
  if (!item.Enabled || !item.Ticked) return {false, {status != siNone, false}};
  if (status == siNone) return {false, {false, false}};
  return {!SiteHeld(status), item};
}

void ClearIdleReports(SiteSystem& system, const std::function<void(S_GetUSBCmdData&)>& clear) {
  // A worker's last report happens before it sets its end state, so a site seen unheld here
  // is written by nobody until the next start.
  for (int site = 0; site < kSiteCount; ++site) {
    if (!SiteHeld(system.Panels().Status(site))) clear(system.CmdData(site));
  }
}
