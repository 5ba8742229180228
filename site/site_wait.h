#pragma once
// Waits of the UI thread that keep the windows alive. They sleep until the engine wakes the host
// (a worker ended, a panel changed) and look again then, not on a clock.
#include <chrono>
#include <functional>
#include <vector>

class SiteHost;
class SiteSystem;

using WaitClock = std::chrono::steady_clock;
inline constexpr WaitClock::time_point kNoDeadline = WaitClock::time_point::max();

// Waits `ms` milliseconds, letting the host handle its pending events about once a
// millisecond meanwhile. A deadline on the steady clock takes the place of a timer thread:
// the wait is the same and no thread has to be started and freed for it.
void MyDelay(SiteHost& host, int ms);

// Returns true once `busy()` is false, looking again at every wake of the host (and at its
// idle round); false when `deadline` passes first. `busy` reads only facts whose change wakes
// the host: SiteEngine::IsRunning and the panel model.
bool WaitWhile(SiteSystem& system, const std::function<bool()>& busy,
               WaitClock::time_point deadline = kNoDeadline);

// Returns when no selected site is siWorking, siTake or siPut (true), or at `deadline` (false).
// Unselected sites are not waited for, whatever they do; siPushKey is not waited for either
// (a key run that waits for its start key is idle as far as the windows are concerned).
bool WaitForSites(SiteSystem& system, WaitClock::time_point deadline = kNoDeadline);

// Returns when none of the listed sites' workers runs any more (true), whether or not the sites
// are selected in the main window (a window that starts work on sites of its own list waits
// here), or at `deadline` (false).
bool WaitForStartedSites(SiteSystem& system, const std::vector<int>& sites,
                         WaitClock::time_point deadline = kNoDeadline);
