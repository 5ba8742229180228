#pragma once
// The context object of one running system. It owns everything the program would otherwise
// keep in globals: the settings record, the paths, the named locks, the log pipeline, the panel
// model and run controls, the link table, the per-site records, the loaded project with its
// records, the opcode table and the workers. The windows and the command-line program build it
// the same way and attach their front end (SiteHost); a test builds as many as it likes.
#include <array>
#include <memory>
#include <mutex>
#include <set>
#include <span>
#include <string>

#include "link/link_table.h"
#include "log/core/journal.h"
#include "log/core/log_queue.h"
#include "project/driver_index.h"
#include "records/record_shipper.h"
#include "records/record_writer.h"
#include "site/card_store_view.h"
#include "site/loaded_project.h"
#include "site/loop_pause.h"
#include "site/opcode_table.h"
#include "site/run_controls.h"
#include "site/run_session.h"
#include "site/site_engine.h"
#include "site/site_host.h"
#include "site/site_panels.h"
#include "site/site_run_bytes.h"
#include "site/usb_cmd_data.h"
#include "support/archiver.h"
#include "support/named_lock.h"
#include "support/resource_pack.h"
#include "support/system_para.h"
#include "support/system_paths.h"

class UsbLibrary;

struct SiteSystemConfig {
  LinkTableOptions Links;
  // Replaces the log pipeline as the sink of every line (tests capture the lines with it).
  LogSink* LogOverride = nullptr;
  std::int32_t LogDisplayMode = LogDisplay::Essential;
  // The line's database for the per-part records (--records-url); empty: the settings' own.
  std::string RecordsUrl;
  // The operations the workers run, each under its opcode: the standard `SiteOperationList()`
  // (site/ops/operation_list.h) or a test's own. None given: every opcode fails with 0xA1.
  std::span<const OperationEntry> Operations;
};

class SiteSystem {
 public:
  // Builds the link table (which initialises the USB library) and the opcode table from
  // `config.Operations`. `usb` outlives the system.
  explicit SiteSystem(UsbLibrary& usb, SiteSystemConfig config = {});
  // Joins every worker before the links and records they use go.
  ~SiteSystem();
  SiteSystem(const SiteSystem&) = delete;
  SiteSystem& operator=(const SiteSystem&) = delete;

  // The front end that shows the panels and handles its events during waits. Attach it before
  // any worker runs; the system starts with one that shows nothing.
  void AttachHost(SiteHost& host);
  SiteHost& Host() { return *host_; }

  S_SystemPara& Para() { return para_; }
  const SystemPaths& Paths() const { return paths_; }
  // Start-up sets the folders once they are known (before any worker runs): the resource pack
  // and the empty project are bound to them anew.
  void SetPaths(const SystemPaths& paths);
  NamedLocks& Locks() { return locks_; }
  UsbLibrary& Usb() { return usb_; }
  LogSink& Log() { return config_.LogOverride ? *config_.LogOverride : logPipeline_; }
  LogQueue& LogPipeline() { return logPipeline_; }
  // Every shown line, below BaseDir + "History/Journal" (the folder follows SetPaths).
  Journal& LogJournal() { return journal_; }

  SitePanels& Panels() { return panels_; }
  // The project window's SD card page as a model: each site's stored projects and the choice.
  CardStoreView& CardView() { return cardView_; }
  // Every card command carries site 0's socket count, whichever site's worker sends it, so a
  // worker that rebuilds its site's plan holds this lock, and so does that read.
  std::mutex& PlanLock() { return planLock_; }
  RunControls& Controls() { return controls_; }
  // The one way a front end runs anything; it sees every panel event and finished part.
  RunSession& Session() { return session_; }
  // The pauses of the looping operations (`PauseWhile` unless replaced before any worker runs).
  void SetLoopPause(LoopPauseFunction pause) { loopPause_ = std::move(pause); }
  void LoopPause(std::chrono::milliseconds duration, const std::function<bool()>& keepWaiting) {
    loopPause_(duration, keepWaiting);
  }
  const LoopPauseFunction& CurrentLoopPause() const { return loopPause_; }

  LinkTable& Links() { return links_; }
  ZvUsb& Link(int site) { return links_.Link(site); }
  // The units ("bus/device") the last rescan could not open for want of permission: each is
  // reported once, until it is opened or leaves the bus. The rescan's thread only.
  std::set<std::string>& DeniedUnits() { return deniedUnits_; }
  bool UnitPresent(int site) { return links_.IsUnitPresent(site); }

  // Site indexes 0..7; the caller checks the range (IsSiteIndex).
  S_GetUSBCmdData& CmdData(int site) { return cmdData_[SiteSlot(site)]; }
  SiteRunBytes& RunBytes(int site) { return runBytes_[SiteSlot(site)]; }
  // What the run starters do before every run: all eight sites' run bytes back to zero.
  void ResetRunBytes();
  // Clears what the units reported about themselves. Only while no worker runs, because each
  // site's record is written by its own worker; false (nothing cleared) otherwise.
  bool ClearUnitReports();

  // The per-part records' writer (BaseDir + "History/Records.db"); none until the paths are
  // set. A run hands its record over and goes on.
  RecordWriter* PartRecords() { return records_.get(); }
  // Ships the records to the configuration's URL or else the settings' "[Records] Url" (none
  // when both are empty); the settings load calls it. The same URL again changes nothing.
  void ApplyRecordsUrl();
  RecordShipper* Shipping() { return shipper_.get(); }
  // The close: the writer commits what is queued, then the shipper ships it when it can.
  void CloseRecords();

  // The driver index ("Select.SEL"), the archiver and the resource pack of the project loads.
  DriverIndex& SelectList() { return selectList_; }
  const Archiver& Archive() const { return archiver_; }
  ResourcePack& Pack() { return *pack_; }
  // A new, empty project bound to this system's services, for a load to fill.
  std::unique_ptr<LoadedProject> NewProject();
  // The loaded project (an empty one before the first load). Workers read it during a run.
  LoadedProject& Project() { return *project_; }
  // Puts a loaded project in place of the current one, whole, and takes the CRC-32 of its data
  // image for the per-part records. Refused (false, nothing changes) while a worker runs.
  bool ReplaceProject(std::unique_ptr<LoadedProject> project);
  bool ProcedureSelected() const { return project_->ProcedureSelected(); }

  OpcodeTable& Opcodes() { return opcodes_; }
  SiteEngine& Engine() { return engine_; }

  // Joins every worker; later Commands start nothing. The destructor calls it too.
  void Shutdown() { engine_.JoinAll(); }

 private:
  void StartShipping();
  SiteSystemConfig config_;
  S_SystemPara para_;
  SystemPaths paths_;
  NamedLocks locks_;
  UsbLibrary& usb_;
  LogQueue logPipeline_;
  Journal journal_{std::filesystem::path{}};
  std::string shipUrl_;
  std::unique_ptr<RecordShipper> shipper_;  // ends after the writer: ships its last commit
  std::unique_ptr<RecordWriter> records_;   // after the log it writes to, before the workers
  NoSiteHost noHost_;
  SiteHost* host_ = &noHost_;
  std::set<std::string> deniedUnits_;
  SitePanels panels_;
  CardStoreView cardView_;
  std::mutex planLock_;
  RunControls controls_;
  LoopPauseFunction loopPause_ = PauseWhile;

  LinkTable links_;
  std::array<S_GetUSBCmdData, kSiteCount> cmdData_{};
  std::array<SiteRunBytes, kSiteCount> runBytes_{};

  DriverIndex selectList_;
  Archiver archiver_;
  std::unique_ptr<ResourcePack> pack_;
  std::unique_ptr<LoadedProject> project_;

  OpcodeTable opcodes_;
  RunSession session_{*this};  // before the engine: the workers report to it
  SiteEngine engine_{*this};   // last: destroyed first, so its workers end before the rest
};
