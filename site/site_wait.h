#pragma once
// Waits of the UI thread that keep the windows alive.
#include <vector>

class SiteHost;
class SiteSystem;

// Waits `ms` milliseconds, letting the host handle its pending events about once a
// millisecond meanwhile. A deadline on the steady clock takes the place of a timer thread:
// the wait is the same and no thread has to be started and freed for it.
void MyDelay(SiteHost& host, int ms);

// Returns when no selected site is siWorking, siTake or siPut, looking again every 10 ms.
// Unselected sites are not waited for, whatever they do; siPushKey is not waited for either
// (a key run that waits for its start key is idle as far as the windows are concerned).
void WaitForSites(SiteSystem& system);
// The same, and also until none of `started` runs, selected or not: a window that starts sites
// from its own list must not go on (and free what they use) while an unselected one works.
void WaitForSites(SiteSystem& system, const std::vector<int>& started);
// Waits until no worker holds any of `sites` (SiteHeld: a loop that waits for the start key
// counts too), as WaitForSites does.
void WaitForSitesReleased(SiteSystem& system, const std::vector<int>& sites);
