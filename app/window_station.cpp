#include "app/window_station.h"

#include <optional>

#include "app/main_form.h"
#include "app/startup_program.h"
#include "log/view/log_view.h"
#include "serve/run_event_json.h"
#include "site/site_system.h"

namespace {
template <typename Result>
struct Pending {
  std::optional<Result> result;
};
}  // namespace

WindowStation::WindowStation(GangProgram& program, StationEvents& events)
    : program_(program), station_(program.Sites(), events) {
  program_.Sites().Session().Attach(*this);
  program_.Main().LogView().SetTap(
      [&events](const std::vector<ShownLogLine>& lines) { PublishLogLines(events, lines); });
}

WindowStation::~WindowStation() {
  program_.Main().LogView().SetTap(nullptr);
  Close();
  program_.Sites().Session().Detach(*this);
}

void WindowStation::Close() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
  }
  changed_.notify_all();
  station_.RequestStop();
  station_.WaitForRun();
  if (runShown_) {  // its queued end would be dropped with this object
    runShown_ = false;
    program_.Main().EndOutsideRun();
  }
}

// The windows' own work, and any window over the main one, keep the sites to themselves.
bool WindowStation::WindowsBusy() const {
  TMainForm& main = program_.Main();
  return runShown_ || main.Busy() || !main.isEnabled() || !main.SiteGroupEnabled();
}

template <typename Result>
std::optional<Result> WindowStation::OnUiThread(std::function<Result()> step) {
  auto pending = std::make_shared<Pending<Result>>();
  QMetaObject::invokeMethod(
      this,
      [this, pending, step = std::move(step)] {
        {
          std::lock_guard<std::mutex> lock(mutex_);
          if (closed_) return;
        }
        Result result = step();
        std::lock_guard<std::mutex> lock(mutex_);
        pending->result = std::move(result);
        changed_.notify_all();
      },
      Qt::QueuedConnection);
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return pending->result.has_value() || closed_; });
  return pending->result;
}

StationSnapshot WindowStation::Snapshot() {
  const std::optional<StationSnapshot> snapshot =
      OnUiThread<StationSnapshot>([this] { return station_.Snapshot(); });
  return snapshot ? *snapshot : station_.Snapshot();  // closing: no window loads any more
}

ProjectLoad WindowStation::LoadProject(const std::string& path) {
  const std::optional<ProjectLoad> load = OnUiThread<ProjectLoad>([this, path] {
    if (WindowsBusy()) return ProjectLoad{ProjectLoad::Status::RunActive, {}, {}};
    return station_.LoadProject(path);  // the windows show it as the session's observers
  });
  return load.value_or(ProjectLoad{ProjectLoad::Status::RunActive, {}, {}});
}

RunStart WindowStation::StartRun(const StationRunRequest& request) {
  const std::optional<RunStart> start = OnUiThread<RunStart>([this, request] {
    if (WindowsBusy()) return RunStart{RunStart::Status::RunActive, 0, "A run is active"};
    RunStart done = station_.StartRun(request);
    if (done.status == RunStart::Status::Started) {
      runShown_ = true;
      program_.Main().BeginOutsideRun(request.autoRun);
    }
    return done;
  });
  return start.value_or(RunStart{RunStart::Status::RunActive, 0, "The program is closing"});
}

// Queued behind the start that locked the controls, so the end never comes before it.
void WindowStation::OnSummary(const RunSummary&) {
  QMetaObject::invokeMethod(
      this,
      [this] {
        if (!runShown_) return;  // a run of the windows' own
        runShown_ = false;
        program_.Main().EndOutsideRun();
      },
      Qt::QueuedConnection);
}
