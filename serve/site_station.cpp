#include "serve/site_station.h"

#include <chrono>
#include <filesystem>

#include "project/project_value.h"
#include "records/record_store.h"
#include "serve/run_event_json.h"
#include "site/project_load.h"
#include "site/run_recipes.h"
#include "site/site_system.h"
#include "site/site_wait.h"
#include "site/site_words.h"

namespace {
constexpr std::chrono::seconds kRecordPatience{10};
constexpr const char* kNoProject = "No project is loaded";
constexpr const char* kNoProcedure = "No Select Procedure for Project!";
}  // namespace

SiteStation::SiteStation(SiteSystem& system, StationEvents& events)
    : system_(system), events_(events) {}

SiteStation::~SiteStation() {
  RequestStop();
  JoinWaiter();
}

StationSnapshot SiteStation::Snapshot() {
  StationSnapshot snapshot;
  SitePanels& panels = system_.Panels();
  for (int site = 0; site < kSiteCount; ++site) {
    StationSite facts;
    facts.site = site + 1;
    facts.state = StateWord(panels.Status(site));
    facts.passed = panels.PassCount(site);
    facts.failed = panels.FailCount(site);
    facts.checked = panels.Checked(site);
    if (panels.Status(site) != siNone) ++snapshot.units;
    snapshot.passed += facts.passed;
    snapshot.failed += facts.failed;
    snapshot.sites.push_back(facts);
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    snapshot.running = running_;
  }
  std::lock_guard<std::mutex> start(startMutex_);  // not while a load replaces the project
  snapshot.project = LoadedProjectFacts();
  return snapshot;
}

std::optional<StationProject> SiteStation::LoadedProjectFacts() {
  const LoadedProject& project = system_.Project();
  if (project.Path().empty()) return std::nullopt;
  const S_ProjectValue& value = project.Records().ProjectValue[0];
  return StationProject{std::filesystem::path(project.Path()).filename().string(),
                        value.Manufacturer, value.PartsNumber, project.ImageCrc()};
}

ProjectLoad SiteStation::LoadProject(const std::string& path) {
  std::lock_guard<std::mutex> start(startMutex_);
  ProjectLoad load;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (running_) {
      load.status = ProjectLoad::Status::RunActive;
      return load;
    }
  }
  const int code = LoadProjectInto(system_, path);
  if (code == LoadCode::SitesRunning) {
    load.status = ProjectLoad::Status::RunActive;
  } else if (code != LoadCode::Loaded) {
    load.message = LoadProjectMessage(code);
  } else {
    load.status = ProjectLoad::Status::Loaded;
    load.project = *LoadedProjectFacts();
  }
  return load;
}

RunStart SiteStation::Refusal(RunStart::Status status, std::string message) {
  RunStart start;
  start.status = status;
  start.message = std::move(message);
  return start;
}

std::vector<int> SiteStation::StartSites(const StationRunRequest& request, std::string& refusal) {
  const RunRecipe recipe = MainRunRecipe(request.fromCard, request.autoRun);
  std::vector<int> chosen;
  for (int number : request.sites) {
    const int site = number - 1;
    if (system_.Panels().Status(site) == siNone) {
      refusal = "Site #" + std::to_string(number) + " - No Unit!";
      return {};
    }
    chosen.push_back(site);
  }
  if (chosen.empty()) return StartOnSelectedSites(system_, recipe);
  system_.ResetRunBytes();
  return StartOnSites(system_, recipe, chosen);
}

RunStart SiteStation::StartRun(const StationRunRequest& request) {
  std::lock_guard<std::mutex> start(startMutex_);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (running_) return Refusal(RunStart::Status::RunActive, "A run is active");
  }
  if (!request.fromCard && system_.Project().Path().empty()) {
    return Refusal(RunStart::Status::NoProject, kNoProject);
  }
  if (!request.fromCard && !system_.ProcedureSelected()) {
    return Refusal(RunStart::Status::NoProject, kNoProcedure);
  }
  JoinWaiter();
  std::uint64_t id = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    id = ++currentRun_;
    runs_[id] = {true, 0, 0};
    running_ = true;
    target_ = request.autoRun ? request.parts : 0;
  }
  // "Stop All" is on before any loop can look at it.
  system_.Controls().StopAllEnabled = request.autoRun;
  std::string refusal = "No unit on the chosen sites";
  std::vector<int> started = StartSites(request, refusal);
  if (started.empty()) {
    system_.Controls().StopAllEnabled = false;
    std::lock_guard<std::mutex> lock(mutex_);
    runs_.erase(id);
    --currentRun_;
    running_ = false;
    return Refusal(RunStart::Status::NoUnit, refusal);
  }
  waiter_ = std::thread(
      [this, started = std::move(started), id]() mutable { FinishRun(std::move(started), id); });
  RunStart result;
  result.status = RunStart::Status::Started;
  result.run = id;
  return result;
}

void SiteStation::FinishRun(std::vector<int> started, std::uint64_t id) {
  WaitForStartedSites(system_, started);
  system_.Controls().StopAllEnabled = false;
  // The summary means every part of the run is in the production trail.
  if (RecordWriter* writer = system_.PartRecords()) writer->Flush(kRecordPatience);
  RunTallyState tally;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    runs_[id].running = false;
    tally = runs_[id];
  }
  EventJson summary = SummaryEvent(tally.passed, tally.failed);
  summary["run"] = id;
  events_.Publish("summary", EventText(summary));
  std::lock_guard<std::mutex> lock(mutex_);
  running_ = false;
}

void SiteStation::RequestStop() {
  system_.Controls().StopAllEnabled = false;
}

void SiteStation::WaitForRun() {
  std::lock_guard<std::mutex> start(startMutex_);
  JoinWaiter();
}

void SiteStation::JoinWaiter() {
  if (waiter_.joinable()) waiter_.join();
}

std::optional<RunTallyState> SiteStation::Run(std::uint64_t id) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = runs_.find(id);
  if (found == runs_.end()) return std::nullopt;
  return found->second;
}

std::string SiteStation::RecordsPath() {
  return RecordStore::PathBelow(system_.Paths().BaseDir);
}

void SiteStation::OnPanelEvent(const PanelEvent& event) {
  if (event.kind != PanelEvent::Kind::Status || event.value > siPushKey) return;
  events_.Publish("site", EventText(SiteEvent(event.site, event.value)));
}

void SiteStation::Submit(const PartRecord& record) {
  for (const EventJson& step : StepEvents(record)) events_.Publish("step", EventText(step));
  events_.Publish("part", EventText(PartEvent(record)));
  std::lock_guard<std::mutex> lock(mutex_);
  if (!running_) return;
  RunTallyState& tally = runs_[currentRun_];
  ++(record.Pass ? tally.passed : tally.failed);
  if (target_ != 0 && tally.passed + tally.failed >= target_) {
    system_.Controls().StopAllEnabled = false;
  }
}
