#pragma once
// What one site's operations work with, gathered once where its worker starts: the site, its
// link, the log, its run bytes and unit report, its view of the loaded project, the run
// controls and the loop pause, and the few shared services some operations need. It refers to
// the system's objects and owns nothing; it lives as long as the worker (or the one call on
// the UI thread that made it). A project is replaced and the links are sorted only while no
// worker runs, so the references stay those of the site for the context's whole life.
#include <chrono>
#include <functional>
#include <mutex>

#include "log/core/log_sink.h"
#include "project/driver_ini.h"
#include "project/project_value.h"
#include "site/loop_pause.h"

class CardStoreView;
class LoadedProject;
class NamedLocks;
class RecordWriter;
class RunSession;
class SitePanels;
class SiteSystem;
class ZvUsb;
struct PartRecord;
struct RunControls;
struct S_GetUSBCmdData;
struct SiteRunBytes;
struct SystemPaths;

class SiteContext {
 public:
  // The view of site `site` (0..7; the caller checks the range) of `system`.
  SiteContext(SiteSystem& system, int site);

  int Site() const { return site_; }
  ZvUsb& Link() const { return link_; }
  LogSink& Log() const { return log_; }
  // Whether the unit of the site's link is still on the bus (asks the bus).
  bool UnitPresent() const;
  SiteRunBytes& RunBytes() const { return runBytes_; }
  // What the unit reported about itself; written by this site's worker only.
  S_GetUSBCmdData& UnitReport() const { return unitReport_; }

  // The loaded project and this site's records in it.
  LoadedProject& Project() const { return project_; }
  ZV_Driver_INI& Driver() const { return driver_; }
  S_ProjectValue& Value() const { return value_; }
  SiteProcessPlan& Plan() const { return plan_; }
  // The site's S_ProjectValue::Step[StepFlag::Pinscan]: whether the pin scan is examined.
  bool PinscanCheck() const;

  RunControls& Controls() const { return controls_; }
  // The pause of the looping operations (the system's, which a test may replace).
  void LoopPause(std::chrono::milliseconds duration,
                 const std::function<bool()>& keepWaiting) const {
    loopPause_(duration, keepWaiting);
  }

  // Shared with the other sites.
  SitePanels& Panels() const { return panels_; }
  CardStoreView& CardView() const { return cardView_; }
  // Every card command carries site 0's socket count: a rebuild of a plan holds this lock.
  std::mutex& PlanLock() const { return planLock_; }
  NamedLocks& Locks() const { return locks_; }
  const SystemPaths& Paths() const { return paths_; }
  // A counted part: shown to the session's observers, then handed to the record writer.
  void SubmitPart(PartRecord record) const;
  // The log's row-limit check after a run, with the settings' limits.
  void RequestLogLimitCheck() const;

 private:
  int site_;
  ZvUsb& link_;
  LogSink& log_;
  SiteRunBytes& runBytes_;
  S_GetUSBCmdData& unitReport_;
  LoadedProject& project_;
  ZV_Driver_INI& driver_;
  S_ProjectValue& value_;
  SiteProcessPlan& plan_;
  RunControls& controls_;
  const LoopPauseFunction& loopPause_;
  SitePanels& panels_;
  CardStoreView& cardView_;
  std::mutex& planLock_;
  NamedLocks& locks_;
  const SystemPaths& paths_;
  RunSession& session_;
  RecordWriter* records_;
  std::function<void()> logLimitCheck_;
};
