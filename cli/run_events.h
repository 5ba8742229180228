#pragma once
// What a run reports while it goes, as the session's observer: the panel changes and every
// finished part as JSON lines (one object per event) or, in plain mode, nothing beyond the log;
// and at the end the summary line.
//
// Fed from the site workers, so the output is guarded by the program's output mutex.
#include <mutex>
#include <ostream>
#include <string>

#include "site/run_observer.h"

class RunEvents final : public RunObserver {
 public:
  RunEvents(std::ostream& out, std::mutex& outMutex, bool json);

  void OnPanel(const PanelEvent& event) override;
  void OnPart(const PartRecord& record) override;
  void OnSummary(const RunSummary& summary) override;

  // What the run did (empty until the session has waited for it).
  RunSummary Summary() const;
  // The closing line: {"event":"summary","parts":..,"passed":..,"failed":..} or, in plain
  // mode, "Parts: N, Passed: P, Failed: F".
  void PrintSummary();

 private:
  void Write(const std::string& line);

  std::ostream& out_;
  std::mutex& outMutex_;
  const bool json_;

  mutable std::mutex mutex_;  // guards summary_
  RunSummary summary_;
};
