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

// Returns when none of the listed sites' workers runs any more, whether or not the sites are
// selected in the main window (a window that starts work on sites of its own list waits here).
void WaitForStartedSites(SiteSystem& system, const std::vector<int>& sites);
