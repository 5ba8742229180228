#pragma once
// What a run reports while it goes: the panel changes and every finished part, as JSON lines
// (one object per event) or, in plain mode, nothing beyond the log; and the part counts taken
// from the panel counters, which end an automatic run once enough parts are done.
//
// Fed from the site workers (Show, Submit), so every member is guarded by one mutex and the
// output by the program's output mutex.
#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>

#include "site/panel_event.h"
#include "site/part_sink.h"
#include "site/site_status.h"

class SitePanels;
struct RunControls;

struct RunTally {
  std::uint64_t passed = 0;
  std::uint64_t failed = 0;
  std::uint64_t Parts() const { return passed + failed; }
};

class RunEvents final : public PartSink {
 public:
  // `panels`: the counters start from their values now. The system's own record writer keeps
  // the production trail; this only reports.
  RunEvents(std::ostream& out, std::mutex& outMutex, bool json, const SitePanels& panels);

  // With a target: once that many parts are done in all, "Stop All" of `controls` is disabled,
  // so every loop ends after the part it is on.
  void StopAfter(std::uint64_t parts, RunControls& controls);

  // A panel change (from the host, any thread).
  void Show(const PanelEvent& event);
  // A finished part's record (from a worker).
  void Submit(const PartRecord& record) override;

  RunTally Tally() const;
  // The closing line: {"event":"summary","parts":..,"passed":..,"failed":..} or, in plain
  // mode, "Parts: N, Passed: P, Failed: F".
  void PrintSummary();

 private:
  void Count(const PanelEvent& event);
  void Write(const std::string& line);

  std::ostream& out_;
  std::mutex& outMutex_;
  const bool json_;

  mutable std::mutex mutex_;  // guards everything below
  std::array<std::uint32_t, kSiteCount> lastPass_{};
  std::array<std::uint32_t, kSiteCount> lastFail_{};
  RunTally tally_;
  std::uint64_t target_ = 0;  // 0: none
  RunControls* controls_ = nullptr;
};
