#pragma once
// The station engine on the site system: the project window's load, the main window's run on
// the chosen sites (once or as the automatic loop, from the PC or the units' cards), "Stop All",
// and the events of the run. The front end that owns the system hands this object its panel
// events (OnPanelEvent) and attaches it as the system's part sink.
#include <cstdint>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "serve/station_engine.h"
#include "site/panel_event.h"
#include "site/part_sink.h"

class SiteSystem;

class SiteStation final : public StationEngine, public PartSink {
 public:
  SiteStation(SiteSystem& system, StationEvents& events);
  // Stops a run that is still going and waits for its sites.
  ~SiteStation() override;
  SiteStation(const SiteStation&) = delete;
  SiteStation& operator=(const SiteStation&) = delete;

  StationSnapshot Snapshot() override;
  ProjectLoad LoadProject(const std::string& path) override;
  RunStart StartRun(const StationRunRequest& request) override;
  void RequestStop() override;
  std::optional<RunTallyState> Run(std::uint64_t id) override;
  std::string RecordsPath() override;

  // Waits until no run is going (the stop of the program: after RequestStop).
  void WaitForRun();

  // A panel change, from the host (any thread).
  void OnPanelEvent(const PanelEvent& event);
  // A finished part's record (from a worker).
  void Submit(const PartRecord& record) override;

 private:
  std::optional<StationProject> LoadedProjectFacts();
  RunStart Refusal(RunStart::Status status, std::string message);
  std::vector<int> StartSites(const StationRunRequest& request, std::string& refusal);
  void FinishRun(std::vector<int> started, std::uint64_t id);
  void JoinWaiter();

  SiteSystem& system_;
  StationEvents& events_;
  std::mutex startMutex_;  // one load or start at a time
  std::thread waiter_;     // waits for the started sites, then reports the summary

  mutable std::mutex mutex_;  // guards everything below
  bool running_ = false;
  std::uint64_t currentRun_ = 0;
  std::uint64_t target_ = 0;
  std::map<std::uint64_t, RunTallyState> runs_;
};
