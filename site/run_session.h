#pragma once
// The one way a front end runs anything on the units. A front end chooses what to run (a recipe
// and its sites) and draws or prints what its RunObserver is told; the session does the rest:
// the checks before a start ("No Select Procedure for Project!", "Site #n - No Unit!"), the
// resources a recipe needs (the self-test image), the choice of sites, the run bytes, arming and
// stopping the loops, and waiting for exactly the sites it started.
//
// Threads: Start, Wait and LoadProject (the driving calls) run on one thread at a time, the one
// that drives the front end (the UI thread of the windows, or a station's waiter for its Wait).
// A driving call nested on the same thread (a wait's event handling) goes ahead as before; one
// from a second thread while a driving call is in progress is refused: a start returns
// StartRefusal::OtherThread and logs why, a load returns LoadCode::SitesRunning, and a wait
// waits its turn (its run cannot end sooner anyway). RequestStop, Snapshot, Attach and Detach
// from any thread, workers included.
#include <array>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "site/project_load.h"
#include "site/run_observer.h"
#include "site/run_recipes.h"
#include "site/run_source.h"
#include "site/site_start_rule.h"
#include "site/site_status.h"
#include "site/thread_info.h"

class RC_Plus;
class SiteSystem;

// The main window's "Run Program" and `gangprog-cli run`/`sd run`.
struct RunRequest {
  RunSource source = RunSource::Pc;
  bool autoRun = false;
  // Site indexes 0..7, each of which must show a unit; empty: every selected site.
  std::vector<int> sites;
  // An automatic run stops once this many parts are done in all (every site finishes the part
  // it is on, so a site may add one more); 0: until RequestStop.
  std::uint64_t parts = 0;
};

// Which sites a command starts on. Every choice starts only sites that can start (a unit, and no
// worker holding the site: see SiteHeld).
struct SiteChoice {
  enum class Kind {
    Selected,  // the sites selected in the main window
    Present,   // every site with a unit, selected or not (the burn-in)
    Listed,    // exactly `sites`: each must show a unit, or nothing starts
  };
  Kind kind = Kind::Selected;
  std::vector<int> sites;

  static SiteChoice SelectedSites() { return {}; }
  static SiteChoice PresentSites() { return {Kind::Present, {}}; }
  static SiteChoice ListedSites(std::vector<int> sites) { return {Kind::Listed, std::move(sites)}; }
};

// Why a start started nothing; None when it started at least one site.
enum class StartRefusal {
  None,
  NoProcedure,      // a run from the PC with no procedure selected in the project
  NoUnit,           // a listed site without a unit, or no site could start
  MissingResource,  // a file the recipe needs could not be extracted (the pack said why)
  OtherThread,      // another thread is in a driving call of the session
};

// The sites one start started; hand it back to Wait.
struct StartedRun {
  std::optional<RunRecipe> recipe;  // none for the card store's queues
  std::vector<int> sites;
  StartRefusal refusal = StartRefusal::None;
  bool Started() const { return !sites.empty(); }
};

// One site as the session sees it.
struct SiteSnapshot {
  TSiteStatus status = siNone;
  bool selected = false;
  std::uint32_t passed = 0;  // the panel counters
  std::uint32_t failed = 0;
};

struct SessionSnapshot {
  std::array<SiteSnapshot, kSiteCount> sites{};
  std::vector<int> started;  // the sites of the last start
  RunTally tally;            // the parts of the last start so far
  std::uint32_t statisticsPassed = 0;
  std::uint32_t statisticsFailed = 0;
  bool running = false;  // a site of the last start still runs its worker
  bool stopRequested = false;
};

class RunSession {
 public:
  // Made by the system it drives (SiteSystem::Session()), which routes every panel event and
  // finished part through it.
  explicit RunSession(SiteSystem& system);
  ~RunSession();
  RunSession(const RunSession&) = delete;
  RunSession& operator=(const RunSession&) = delete;

  // Every front end's project load: a new project takes the loaded one's place only when the
  // whole load passed; refused while a worker runs. A failed load has shown its message (logged
  // it, for LoadUse::Remote); a passed one is told to the observers (OnProjectLoaded). The
  // result is a LoadCode (project/cproject.h), LoadCode::Loaded when it passed.
  int LoadProject(const std::string& path, LoadUse use = LoadUse::Run);
  // The checks a main run makes before it starts; logs why not. From the PC: a procedure must
  // be selected in the loaded project. From the card: nothing (each unit loads its own).
  bool ReadyToRun(RunSource source);

  // The main run: every site's run bytes back to zero, "Stop All" armed for an automatic run,
  // the recipe started on the chosen sites.
  StartedRun StartRun(const RunRequest& request);
  // A command's recipe on the chosen sites. The run recipes and the key run reset the run bytes
  // first; a recipe that needs the self-test image extracts it once and removes it in Wait.
  StartedRun Start(RunRecipe recipe, const SiteChoice& choice);
  // The same on a window's own per-site check list (DecideSiteStart), updated in place.
  StartedRun Start(RunRecipe recipe, SiteList& list);
  // The card store's queues (site/card_store.h): `queue` with its two texts on each site of
  // `sites` that can start; the others are left out of the result.
  StartedRun StartQueue(const std::vector<int>& sites, const std::vector<Opcode>& queue,
                        const std::string& text1 = {}, const std::string& text2 = {});

  // Whether a start would take the site: it shows a unit and no worker holds it (SiteHeld).
  bool CanStart(int site) const;

  // The sites a choice names that show a unit. A listed site without one is named in the log
  // ("Site #n - No Unit!") and makes the choice empty.
  std::vector<int> ChooseSites(const SiteChoice& choice);

  // Returns when none of the run's workers holds its site any more; a key run that waits for
  // its start key no longer holds it. The host handles its events meanwhile. Then the loops are
  // disarmed, the run's resources removed, and the observers told the log limit (for the
  // recipes that report into the log) and the summary, which is returned too.
  RunSummary Wait(const StartedRun& run);
  // The same, and also for key runs waiting for their key: every worker of the run has ended.
  RunSummary WaitForEnd(const StartedRun& run);

  // Ends the automatic loops and the key runs after the part they are on. "Stop All", Ctrl-C, a
  // reached part count and a station client all come here. Any thread.
  void RequestStop();
  bool StopRequested() const;

  SessionSnapshot Snapshot() const;

  // Observers are told every event from now until they are detached; Detach returns once no
  // call into the observer is in progress. Any thread.
  void Attach(RunObserver& observer);
  void Detach(RunObserver& observer);

  // The system's feed (SitePanels, the part records, the settings load): not for front ends.
  void Publish(const PanelEvent& event);
  void Publish(const PartRecord& record);
  void PublishSettingsLoaded(bool handlerMode);

 private:
  class Driving;
  // Whether the calling thread may drive now; `waitTurn` waits while another thread drives.
  bool EnterDrive(bool waitTurn);
  void LeaveDrive();
  StartedRun RefusedToOtherThread(std::optional<RunRecipe> recipe);

  // Every start begins a new run: nothing started, nothing counted, no stop asked for.
  void Begin(std::uint64_t parts);
  StartedRun StartChosen(RunRecipe recipe, const SiteChoice& choice);
  StartedRun StartOn(RunRecipe recipe, const std::vector<int>& sites);
  StartedRun Refused(RunRecipe recipe, StartRefusal refusal);
  StartedRun Started(StartedRun run);
  // Extracts what the recipe needs; a previous command's copy goes first: one file, one owner.
  bool PrepareResources(RunRecipe recipe);
  bool StartOne(int site, const std::vector<Opcode>& queue, const std::string& text1,
                const std::string& text2);
  void WaitWhileHeld(const StartedRun& run, bool keyWaitHolds);
  RunSummary End(const StartedRun& run);
  void Count(const PanelEvent& event);
  template <typename Call>
  void Notify(const Call& call);

  SiteSystem& system_;
  std::unique_ptr<RC_Plus> selfTestImage_;  // while a recipe that loads it runs

  mutable std::mutex runMutex_;  // guards the run below
  std::vector<int> started_;
  std::array<std::uint32_t, kSiteCount> lastPassed_{};
  std::array<std::uint32_t, kSiteCount> lastFailed_{};
  RunTally tally_;
  std::uint64_t target_ = 0;
  bool stopRequested_ = false;

  std::mutex driveMutex_;  // guards the driver below
  std::condition_variable driveFree_;
  std::thread::id driver_;  // the thread in a driving call; none between calls
  int driveDepth_ = 0;      // its nested driving calls

  std::mutex observerMutex_;  // held during every call into an observer
  std::vector<RunObserver*> observers_;
};
