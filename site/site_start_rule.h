#pragma once
// Which sites a window command starts. The options window's command pages tick sites in their
// own per-site lists; the rule that turns a list and the panel states into started sites (and
// the list the user sees afterwards) lives here; RunSession applies it, so every front end
// starts the same sites.
#include <array>
#include <functional>
#include <vector>

#include "site/site_status.h"
#include "site/usb_cmd_data.h"

class SiteSystem;

// One site's item in a per-site check list.
struct SiteListItem {
  bool Enabled = false;
  bool Ticked = false;
  bool operator==(const SiteListItem&) const = default;
};
using SiteList = std::array<SiteListItem, kSiteCount>;

// Whether a worker holds the site: a queue runs (siWorking) or a loop waits for a part or for
// the start key (siTake, siPut, siPushKey). Another start would have to wait for that worker,
// and a loop may never end by itself, so starters leave such a site alone.
bool SiteHeld(TSiteStatus status);

struct SiteStartDecision {
  bool Start = false;
  SiteListItem Item;  // the list item after the decision
};

// A ticked and enabled item: a site without a unit is unticked and disabled, a held site is
// left alone, any other site is started. Any other item is unticked and enabled exactly when
// the site has a unit.
SiteStartDecision DecideSiteStart(SiteListItem item, TSiteStatus status);

// Applies `clear` to the report of every site that no worker holds. UI thread, before a
// command starts: a held site's report belongs to its worker.
void ClearIdleReports(SiteSystem& system, const std::function<void(S_GetUSBCmdData&)>& clear);
