#pragma once
// The station server's engine inside the window program: SiteStation, with the steps that
// change what the windows show taken on the UI thread, as a click there would take them. A load
// shows in the main window as the project window's does; a run locks the run controls as "Run
// Program" does and leaves "Stop All" to the operator for an automatic run; its end gives the
// controls back. While the windows are busy (a run of their own, a window open over the main
// one) a load or a start is refused as while a run is active. The log view's lines go to the
// stream as the command line's do.
#include <QObject>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "serve/site_station.h"
#include "site/run_observer.h"

class GangProgram;

class WindowStation final : public QObject, public StationEngine, public RunObserver {
 public:
  // Made on the UI thread; `events` outlives it.
  WindowStation(GangProgram& program, StationEvents& events);
  ~WindowStation() override;
  WindowStation(const WindowStation&) = delete;
  WindowStation& operator=(const WindowStation&) = delete;

  // On the UI thread: the project window replaces the project there, without the station's lock.
  StationSnapshot Snapshot() override;
  ProjectLoad LoadProject(const std::string& path) override;
  RunStart StartRun(const StationRunRequest& request) override;
  void RequestStop() override { station_.RequestStop(); }
  std::optional<RunTallyState> Run(std::uint64_t id) override { return station_.Run(id); }
  std::string RecordsPath() override { return station_.RecordsPath(); }

  // The program closes (UI thread, before the server stops): requests still waiting for the UI
  // thread are answered as refused, later ones at once; a run still going ends after the part in
  // hand and is waited for.
  void Close();

  // The session's end of a run (the waiter's thread).
  void OnSummary(const RunSummary& summary) override;

 private:
  // Runs `step` on the UI thread and waits for its result; none when the program closed first
  // (the step then never runs).
  template <typename Result>
  std::optional<Result> OnUiThread(std::function<Result()> step);
  bool WindowsBusy() const;

  GangProgram& program_;
  SiteStation station_;
  bool runShown_ = false;  // UI thread: a started run holds the main window's controls

  std::mutex mutex_;  // guards closed_; the UI steps' completion is told under it
  std::condition_variable changed_;
  bool closed_ = false;
};
