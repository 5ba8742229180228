#pragma once
// The station engine on the site system's RunSession: the project window's load, the main
// window's run on the chosen sites (once or as the automatic loop, from the PC or the units'
// cards), the stop, and the run's events as the session reports them. It attaches itself to the
// session as an observer for its lifetime.
#include <cstdint>
#include <map>
#include <mutex>
#include <thread>

#include "serve/station_engine.h"
#include "site/run_observer.h"
#include "site/run_session.h"

class SiteSystem;

class SiteStation final : public StationEngine, public RunObserver {
 public:
  SiteStation(SiteSystem& system, StationEvents& events);
  // Stops a run that is still going, waits for its sites and detaches from the session.
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

  // The session's reports (any thread).
  void OnPanel(const PanelEvent& event) override;
  void OnPart(const PartRecord& record) override;

 private:
  std::optional<StationProject> LoadedProjectFacts();
  RunStart Refusal(RunStart::Status status, std::string message);
  void FinishRun(StartedRun run, std::uint64_t id);
  void JoinWaiter();

  SiteSystem& system_;
  RunSession& session_;
  StationEvents& events_;
  std::mutex startMutex_;  // one load or start at a time, as from one window
  std::thread waiter_;     // waits for the started sites, then reports the summary

  mutable std::mutex mutex_;  // guards everything below
  bool running_ = false;
  std::uint64_t currentRun_ = 0;
  std::map<std::uint64_t, RunTallyState> runs_;
};
