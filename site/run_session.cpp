#include "site/run_session.h"

#include <algorithm>
#include <filesystem>

#include "site/command.h"
#include "site/ops/unit_info_ops.h"
#include "site/project_load.h"
#include "site/site_system.h"
#include "site/site_wait.h"
#include "support/resource_pack.h"

namespace {

bool IsMainRun(RunRecipe recipe) {
  return recipe == RunRecipe::PcRun || recipe == RunRecipe::PcAutoRun ||
         recipe == RunRecipe::SdRun || recipe == RunRecipe::SdAutoRun;
}

bool IsLoop(RunRecipe recipe) {
  return recipe == RunRecipe::PcAutoRun || recipe == RunRecipe::SdAutoRun;
}

// Every run starts from clean run bytes on all eight sites: the loops read them.
bool ResetsRunBytes(RunRecipe recipe) {
  return IsMainRun(recipe) || recipe == RunRecipe::KeyRun;
}

bool NeedsSelfTestImage(RunRecipe recipe) {
  return recipe == RunRecipe::SelfTest || recipe == RunRecipe::BurnIn;
}

// The commands whose units report into the log at length.
bool ChecksLogLimit(RunRecipe recipe) {
  return recipe == RunRecipe::SelfTest || recipe == RunRecipe::Information ||
         recipe == RunRecipe::BiosUpdate;
}

std::vector<Opcode> QueueOf(RunRecipe recipe) {
  OpcodeQueue queue = RecipeQueue(recipe);
  std::vector<Opcode> opcodes;
  for (; !queue.empty(); queue.pop()) opcodes.push_back(queue.front());
  return opcodes;
}

std::string NoUnitText(int site) {
  return "Site #" + std::to_string(site + 1) + " - No Unit!";
}

constexpr const char* kOtherThreadText =
    "The run session is driven by another thread: nothing started";

}  // namespace

// Holds the session's driving turn for one call on this thread.
class RunSession::Driving {
 public:
  Driving(RunSession& session, bool waitTurn)
      : session_(session), entered_(session.EnterDrive(waitTurn)) {}
  ~Driving() {
    if (entered_) session_.LeaveDrive();
  }
  Driving(const Driving&) = delete;
  Driving& operator=(const Driving&) = delete;
  bool Entered() const { return entered_; }

 private:
  RunSession& session_;
  const bool entered_;
};

RunSession::RunSession(SiteSystem& system) : system_(system) {}

RunSession::~RunSession() = default;

bool RunSession::EnterDrive(bool waitTurn) {
  const std::thread::id self = std::this_thread::get_id();
  std::unique_lock<std::mutex> lock(driveMutex_);
  const auto mine = [&] { return driveDepth_ == 0 || driver_ == self; };
  if (waitTurn) {
    driveFree_.wait(lock, mine);
  } else if (!mine()) {
    return false;
  }
  driver_ = self;
  ++driveDepth_;
  return true;
}

void RunSession::LeaveDrive() {
  {
    std::lock_guard<std::mutex> lock(driveMutex_);
    if (--driveDepth_ == 0) driver_ = std::thread::id{};
  }
  driveFree_.notify_all();
}

StartedRun RunSession::RefusedToOtherThread(std::optional<RunRecipe> recipe) {
  system_.Log().Write(kOtherThreadText, LogColour::Red);
  StartedRun run;
  run.recipe = recipe;
  run.refusal = StartRefusal::OtherThread;
  return run;
}

int RunSession::LoadProject(const std::string& path, LoadUse use) {
  const Driving driving(*this, false);
  if (!driving.Entered()) {
    system_.Log().Write(kOtherThreadText, LogColour::Red);
    return LoadCode::SitesRunning;
  }
  const int code = LoadProjectInto(system_, path, use);
  // A card set is the store's working copy, not the project the PC runs.
  if (code == LoadCode::Loaded && use != LoadUse::CardSet)
    Notify([&](RunObserver& observer) { observer.OnProjectLoaded(path); });
  return code;
}

bool RunSession::ReadyToRun(RunSource source) {
  if (source == RunSource::SdCard || system_.ProcedureSelected()) return true;
  system_.Log().Write("No Select Procedure for Project!", LogColour::Red);
  return false;
}

StartedRun RunSession::StartRun(const RunRequest& request) {
  const RunRecipe recipe = MainRunRecipe(request.source == RunSource::SdCard, request.autoRun);
  const Driving driving(*this, false);
  if (!driving.Entered()) return RefusedToOtherThread(recipe);
  Begin(request.parts);
  if (!ReadyToRun(request.source)) return Refused(recipe, StartRefusal::NoProcedure);
  const SiteChoice choice =
      request.sites.empty() ? SiteChoice::SelectedSites() : SiteChoice::ListedSites(request.sites);
  return StartChosen(recipe, choice);
}

StartedRun RunSession::Start(RunRecipe recipe, const SiteChoice& choice) {
  const Driving driving(*this, false);
  if (!driving.Entered()) return RefusedToOtherThread(recipe);
  Begin(0);
  return StartChosen(recipe, choice);
}

StartedRun RunSession::StartChosen(RunRecipe recipe, const SiteChoice& choice) {
  if (!PrepareResources(recipe)) return Refused(recipe, StartRefusal::MissingResource);
  const std::vector<int> sites = ChooseSites(choice);
  // A listed site without a unit stops the whole start, before anything is reset.
  if (choice.kind == SiteChoice::Kind::Listed && sites.empty()) {
    selfTestImage_.reset();
    return Refused(recipe, StartRefusal::NoUnit);
  }
  return StartOn(recipe, sites);
}

std::vector<int> RunSession::ChooseSites(const SiteChoice& choice) {
  std::vector<int> sites;
  if (choice.kind == SiteChoice::Kind::Listed) {
    for (int site : choice.sites) {
      if (system_.Panels().Status(site) != siNone) continue;
      system_.Log().Write(NoUnitText(site), LogColour::Red);
      sites.push_back(site);
    }
    if (!sites.empty()) return {};
    return choice.sites;
  }
  for (int site = 0; site < kSiteCount; ++site) {
    const bool chosen = choice.kind == SiteChoice::Kind::Present
                            ? system_.Panels().Status(site) != siNone
                            : system_.Panels().Checked(site);
    if (chosen) sites.push_back(site);
  }
  return sites;
}

StartedRun RunSession::Start(RunRecipe recipe, SiteList& list) {
  const Driving driving(*this, false);
  if (!driving.Entered()) return RefusedToOtherThread(recipe);
  Begin(0);
  if (!PrepareResources(recipe)) return Refused(recipe, StartRefusal::MissingResource);
  std::vector<int> sites;
  for (int site = 0; site < kSiteCount; ++site) {
    SiteListItem& item = list[SiteSlot(site)];
    const SiteStartDecision decision = DecideSiteStart(item, system_.Panels().Status(site));
    item = decision.Item;
    if (decision.Start) sites.push_back(site);
  }
  return StartOn(recipe, sites);
}

StartedRun RunSession::StartQueue(const std::vector<int>& sites, const std::vector<Opcode>& queue,
                                  const std::string& text1, const std::string& text2) {
  const Driving driving(*this, false);
  if (!driving.Entered()) return RefusedToOtherThread(std::nullopt);
  Begin(0);
  StartedRun run;
  for (int site : sites) {
    if (StartOne(site, queue, text1, text2)) run.sites.push_back(site);
  }
  return Started(run);
}

bool RunSession::CanStart(int site) const {
  if (!IsSiteIndex(site)) return false;
  const TSiteStatus status = system_.Panels().Status(site);
  return status != siNone && !SiteHeld(status);
}

StartedRun RunSession::StartOn(RunRecipe recipe, const std::vector<int>& sites) {
  if (ResetsRunBytes(recipe)) system_.ResetRunBytes();
  // Armed before any loop can look at its controls.
  if (IsMainRun(recipe)) system_.Controls().StopAllEnabled = IsLoop(recipe);
  if (recipe == RunRecipe::KeyRun) system_.Controls().KeyRunStopEnabled = true;
  StartedRun run;
  run.recipe = recipe;
  const std::vector<Opcode> queue = QueueOf(recipe);
  for (int site : sites) {
    if (StartOne(site, queue, {}, {})) run.sites.push_back(site);
  }
  return Started(run);
}

StartedRun RunSession::Refused(RunRecipe recipe, StartRefusal refusal) {
  StartedRun run;
  run.recipe = recipe;
  run.refusal = refusal;
  return run;
}

StartedRun RunSession::Started(StartedRun run) {
  if (!run.Started()) run.refusal = StartRefusal::NoUnit;
  std::lock_guard<std::mutex> lock(runMutex_);
  started_ = run.sites;
  return run;
}

bool RunSession::PrepareResources(RunRecipe recipe) {
  selfTestImage_.reset();
  if (!NeedsSelfTestImage(recipe)) return true;
  selfTestImage_ =
      std::make_unique<RC_Plus>(system_.Pack(), system_.Paths().TempDir, kSelfTestImageName);
  std::error_code ec;
  if (selfTestImage_->Ok() && std::filesystem::exists(selfTestImage_->Path(), ec)) return true;
  selfTestImage_.reset();
  return false;
}

bool RunSession::StartOne(int site, const std::vector<Opcode>& queue, const std::string& text1,
                          const std::string& text2) {
  if (!CanStart(site)) return false;
  OpcodeQueue opcodes;
  for (Opcode opcode : queue) opcodes.push(opcode);
  return Command(system_, site, text1, text2, opcodes).Started();
}

void RunSession::Begin(std::uint64_t parts) {
  std::lock_guard<std::mutex> lock(runMutex_);
  started_.clear();
  tally_ = {};
  target_ = parts;
  stopRequested_ = false;
  for (int site = 0; site < kSiteCount; ++site) {
    lastPassed_[SiteSlot(site)] = system_.Panels().PassCount(site);
    lastFailed_[SiteSlot(site)] = system_.Panels().FailCount(site);
  }
}

RunSummary RunSession::Wait(const StartedRun& run) {
  const Driving driving(*this, true);
  WaitWhileHeld(run, false);
  return End(run);
}

RunSummary RunSession::WaitForEnd(const StartedRun& run) {
  const Driving driving(*this, true);
  WaitWhileHeld(run, true);
  return End(run);
}

void RunSession::WaitWhileHeld(const StartedRun& run, bool keyWaitHolds) {
  const auto held = [&] {
    return std::any_of(run.sites.begin(), run.sites.end(), [&](int site) {
      if (!system_.Engine().IsRunning(site)) return false;
      return keyWaitHolds || system_.Panels().Status(site) != siPushKey;
    });
  };
  WaitWhile(system_, held);
}

RunSummary RunSession::End(const StartedRun& run) {
  const std::optional<RunRecipe> recipe = run.recipe;
  RunSummary summary;
  {
    std::lock_guard<std::mutex> lock(runMutex_);
    summary.tally = tally_;
    summary.stopRequested = stopRequested_;
  }
  if (recipe && IsMainRun(*recipe)) system_.Controls().StopAllEnabled = false;
  selfTestImage_.reset();
  summary.started = run.sites;
  for (int site : run.sites) {
    if (system_.Panels().Status(site) == siPass) summary.passed.push_back(site);
  }
  if (recipe && ChecksLogLimit(*recipe)) {
    const std::int32_t clearSelection = system_.Para().MBoxClrSel;
    const std::int32_t rowLimit = system_.Para().MegLimitRows;
    Notify([&](RunObserver& observer) { observer.OnLogLimit(clearSelection, rowLimit); });
  }
  Notify([&](RunObserver& observer) { observer.OnSummary(summary); });
  return summary;
}

void RunSession::RequestStop() {
  {
    std::lock_guard<std::mutex> lock(runMutex_);
    stopRequested_ = true;
  }
  system_.Controls().StopAllEnabled = false;
  system_.Controls().KeyRunStopEnabled = false;
}

bool RunSession::StopRequested() const {
  std::lock_guard<std::mutex> lock(runMutex_);
  return stopRequested_;
}

SessionSnapshot RunSession::Snapshot() const {
  SessionSnapshot snapshot;
  for (int site = 0; site < kSiteCount; ++site) {
    SiteSnapshot& view = snapshot.sites[SiteSlot(site)];
    view.status = system_.Panels().Status(site);
    view.selected = system_.Panels().Checked(site);
    view.passed = system_.Panels().PassCount(site);
    view.failed = system_.Panels().FailCount(site);
  }
  const StatisticsTotals totals = system_.Panels().Totals();
  snapshot.statisticsPassed = totals.Pass;
  snapshot.statisticsFailed = totals.Fail;
  std::lock_guard<std::mutex> lock(runMutex_);
  snapshot.started = started_;
  snapshot.tally = tally_;
  snapshot.stopRequested = stopRequested_;
  snapshot.running = std::any_of(started_.begin(), started_.end(),
                                 [&](int site) { return system_.Engine().IsRunning(site); });
  return snapshot;
}

void RunSession::Attach(RunObserver& observer) {
  std::lock_guard<std::mutex> lock(observerMutex_);
  if (std::find(observers_.begin(), observers_.end(), &observer) == observers_.end())
    observers_.push_back(&observer);
}

void RunSession::Detach(RunObserver& observer) {
  std::lock_guard<std::mutex> lock(observerMutex_);
  std::erase(observers_, &observer);
}

void RunSession::Publish(const PanelEvent& event) {
  if (event.kind == PanelEvent::Kind::PassCount || event.kind == PanelEvent::Kind::FailCount)
    Count(event);
  Notify([&](RunObserver& observer) { observer.OnPanel(event); });
}

void RunSession::Publish(const PartRecord& record) {
  const int site = record.Site - kFirstRecordSite;
  Notify([&](RunObserver& observer) {
    for (const StepRecord& step : record.Steps) observer.OnStep(site, step);
    observer.OnPart(record);
  });
}

void RunSession::PublishSettingsLoaded(bool handlerMode) {
  Notify([&](RunObserver& observer) { observer.OnSettingsLoaded(handlerMode); });
}

void RunSession::Count(const PanelEvent& event) {
  if (!IsSiteIndex(event.site)) return;
  bool reached = false;
  {
    std::lock_guard<std::mutex> lock(runMutex_);
    const std::size_t slot = SiteSlot(event.site);
    // A counter that goes down was reset, not a part undone: count from the new value on.
    std::uint32_t& last =
        event.kind == PanelEvent::Kind::PassCount ? lastPassed_[slot] : lastFailed_[slot];
    std::uint64_t& count =
        event.kind == PanelEvent::Kind::PassCount ? tally_.passed : tally_.failed;
    if (event.value > last) count += event.value - last;
    last = event.value;
    reached = target_ != 0 && tally_.Parts() >= target_;
  }
  if (reached) RequestStop();
}

template <typename Call>
void RunSession::Notify(const Call& call) {
  std::lock_guard<std::mutex> lock(observerMutex_);
  for (RunObserver* observer : observers_) call(*observer);
}
