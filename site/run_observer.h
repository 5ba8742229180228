#pragma once
// What a front end is told while the engine works: the one interface through which the windows,
// the command line and the station server learn what a run does, which project is loaded and
// when the settings were read again. Every call may come from a
// site's worker thread; an observer must return quickly and never wait for its front end, and
// must not attach or detach observers from inside a call.
#include <cstdint>
#include <string>
#include <vector>

#include "records/part_record.h"
#include "site/panel_event.h"

// The parts a run has done, counted from the panel counters (a counter that goes down was
// reset, not a part undone).
struct RunTally {
  std::uint64_t passed = 0;
  std::uint64_t failed = 0;
  std::uint64_t Parts() const { return passed + failed; }
  bool operator==(const RunTally&) const = default;
};

// What a waited-for run did: the sites it started, how each ended, and its parts.
struct RunSummary {
  std::vector<int> started;  // site indexes 0..7
  std::vector<int> passed;   // of `started`, the sites that ended PASS
  RunTally tally;
  bool stopRequested = false;  // the run was asked to stop (a button, a signal, a part count)
  bool AllPassed() const { return !started.empty() && passed.size() == started.size(); }
  bool operator==(const RunSummary&) const = default;
};

class RunObserver {
 public:
  virtual ~RunObserver() = default;
  // A panel, the site group or the statistics changed; the panel model holds the new value.
  virtual void OnPanel(const PanelEvent&) {}
  // One step of a finished part (site index 0..7), in the order they ran, before OnPart.
  virtual void OnStep(int /*site*/, const StepRecord&) {}
  // A finished, counted part's record, before the record writer stores it.
  virtual void OnPart(const PartRecord&) {}
  // A command that reports into the log has ended: keep the log below its row limit.
  virtual void OnLogLimit(std::int32_t /*clearSelection*/, std::int32_t /*rowLimit*/) {}
  // A run was waited for to its end.
  virtual void OnSummary(const RunSummary&) {}
  // A project passed its whole load and is the loaded one now (any front end's load; not the
  // card store's sets). Told on the thread that loaded it.
  virtual void OnProjectLoaded(const std::string& /*path*/) {}
  // The settings were read again (start-up, a window's activation); `handlerMode` is on for
  // the program's run once the registry turned it on. Told on the thread that read them.
  virtual void OnSettingsLoaded(bool /*handlerMode*/) {}
};
