#include "serve/site_station.h"

#include <chrono>
#include <filesystem>

#include "project/cproject.h"
#include "project/project_value.h"
#include "records/record_store.h"
#include "serve/run_event_json.h"
#include "site/project_load.h"
#include "site/site_system.h"
#include "site/site_words.h"

namespace {
constexpr std::chrono::seconds kRecordPatience{10};
constexpr const char* kNoProject = "No project is loaded";
constexpr const char* kNoProcedure = "No Select Procedure for Project!";
}  // namespace

SiteStation::SiteStation(SiteSystem& system, StationEvents& events)
    : system_(system), session_(system.Session()), events_(events) {
  session_.Attach(*this);
}

SiteStation::~SiteStation() {
  RequestStop();
  JoinWaiter();
  session_.Detach(*this);
}

StationSnapshot SiteStation::Snapshot() {
  StationSnapshot snapshot;
  const SessionSnapshot session = session_.Snapshot();
  for (int site = 0; site < kSiteCount; ++site) {
    const SiteSnapshot& panel = session.sites[static_cast<std::size_t>(site)];
    StationSite facts;
    facts.site = site + 1;
    facts.state = StateWord(panel.status);
    facts.passed = panel.passed;
    facts.failed = panel.failed;
    facts.checked = panel.selected;
    if (panel.status != siNone) ++snapshot.units;
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
  const int code = session_.LoadProject(path, LoadUse::Remote);
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

RunStart SiteStation::StartRun(const StationRunRequest& request) {
  std::lock_guard<std::mutex> start(startMutex_);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (running_) return Refusal(RunStart::Status::RunActive, "A run is active");
  }
  const RunSource source = request.fromCard ? RunSource::SdCard : RunSource::Pc;
  if (!request.fromCard && system_.Project().Path().empty()) {
    return Refusal(RunStart::Status::NoProject, kNoProject);
  }
  if (!session_.ReadyToRun(source)) return Refusal(RunStart::Status::NoProject, kNoProcedure);
  JoinWaiter();
  RunRequest run;
  run.source = source;
  run.autoRun = request.autoRun;
  run.parts = request.autoRun ? request.parts : 0;
  for (int number : request.sites) run.sites.push_back(number - 1);
  StartedRun started = session_.StartRun(run);
  if (!started.Started()) {
    std::string refusal = "No unit on the chosen sites";
    for (int number : request.sites) {
      if (session_.Snapshot().sites[static_cast<std::size_t>(number - 1)].status == siNone) {
        refusal = "Site #" + std::to_string(number) + " - No Unit!";
        break;
      }
    }
    return Refusal(RunStart::Status::NoUnit, refusal);
  }
  std::uint64_t id = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    id = ++currentRun_;
    runs_[id] = {true, 0, 0};
    running_ = true;
  }
  waiter_ = std::thread(
      [this, started = std::move(started), id]() mutable { FinishRun(std::move(started), id); });
  RunStart result;
  result.status = RunStart::Status::Started;
  result.run = id;
  return result;
}

void SiteStation::FinishRun(StartedRun run, std::uint64_t id) {
  const RunSummary summary = session_.Wait(run);
  // The summary means every part of the run is in the production trail.
  if (RecordWriter* writer = system_.PartRecords()) writer->Flush(kRecordPatience);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    runs_[id] = {false, summary.tally.passed, summary.tally.failed};
  }
  EventJson event = SummaryEvent(summary.tally.passed, summary.tally.failed);
  event["run"] = id;
  events_.Publish("summary", EventText(event));
  std::lock_guard<std::mutex> lock(mutex_);
  running_ = false;
}

void SiteStation::RequestStop() {
  session_.RequestStop();
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
  if (!found->second.running) return found->second;
  const RunTally tally = session_.Snapshot().tally;  // the run going now
  return RunTallyState{true, tally.passed, tally.failed};
}

std::string SiteStation::RecordsPath() {
  return RecordStore::PathBelow(system_.Paths().BaseDir);
}

void SiteStation::OnPanel(const PanelEvent& event) {
  if (event.kind != PanelEvent::Kind::Status || event.value > siPushKey) return;
  events_.Publish("site", EventText(SiteEvent(event.site, event.value)));
}

void SiteStation::OnPart(const PartRecord& record) {
  for (const EventJson& step : StepEvents(record)) events_.Publish("step", EventText(step));
  events_.Publish("part", EventText(PartEvent(record)));
}
