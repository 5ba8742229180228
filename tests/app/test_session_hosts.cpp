// The same recipes through RunSession, once under the windows' host and once under the command
// line's host, on simulated units and a demo project: a recording observer sees the same events
// of every site, the same parts, log-limit calls and summaries. The host draws; the session
// alone decides what runs and what is reported.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/main_form.h"
#include "app/qt_site_host.h"
#include "cli/cli_host.h"
#include "project/cproject.h"
#include "project/driver_index.h"
#include "sim/sim_factory.h"
#include "site/rescan.h"
#include "site/site_system.h"
#include "tests/site/demo_base.h"
#include "tests/support/site_config.h"

namespace {

// Every event but the times, as text; per site, since sites run in parallel.
class RecordingObserver final : public RunObserver {
 public:
  void OnPanel(const PanelEvent& event) override {
    if (event.kind == PanelEvent::Kind::Statistics) return;  // sums in the order sites end
    Add(event.site, "panel " + std::to_string(static_cast<int>(event.kind)) + " " +
                        std::to_string(event.value) + " " + event.text);
  }
  void OnStep(int site, const StepRecord& step) override {
    Add(site,
        "step " + std::to_string(step.Code) + " " + step.Name + " " + std::to_string(step.Result));
  }
  void OnPart(const PartRecord& record) override {
    Add(record.Site - 1, "part " + record.ProjectFile + " " + std::to_string(record.RunResult) +
                             " " + std::to_string(record.RunVerdict) + " " +
                             std::to_string(record.Pass) + " " +
                             std::to_string(record.Steps.size()));
  }
  void OnLogLimit(std::int32_t clearSelection, std::int32_t rowLimit) override {
    Add(-1, "log limit " + std::to_string(clearSelection) + " " + std::to_string(rowLimit));
  }
  void OnSummary(const RunSummary& summary) override {
    std::string text = "summary";
    for (int site : summary.started) text += " s" + std::to_string(site);
    for (int site : summary.passed) text += " p" + std::to_string(site);
    text += " parts " + std::to_string(summary.tally.passed) + "/" +
            std::to_string(summary.tally.failed);
    Add(-1, text);
  }
  void OnProjectLoaded(const std::string& path) override {
    Add(-1, "project " + std::filesystem::path(path).filename().string());
  }
  std::map<int, std::vector<std::string>> Events() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
  }

 private:
  void Add(int site, std::string text) {
    std::lock_guard<std::mutex> lock(mutex_);
    events_[site].push_back(std::move(text));
  }
  mutable std::mutex mutex_;
  std::map<int, std::vector<std::string>> events_;
};

constexpr int kUnits = 3;

// One system on its own units and base folder, with the host a front end gives it.
struct Bench {
  static sim::RigOptions Options() {
    sim::RigOptions options;
    options.units = kUnits;
    options.virtualOperator = false;
    return options;
  }
  explicit Bench(SiteHost* host)
      : rig(sim::makeSimRig(Options())), system(*rig.bus, StandardSiteConfig()) {
    system.SetPaths(demo.Paths());
    if (host != nullptr) system.AttachHost(*host);
    LoadSelectList(demo.base, system.SelectList(), system.Log());
    system.Session().Attach(observer);
  }
  ~Bench() { system.Session().Detach(observer); }

  // The recipes both front ends offer, in one order.
  void RunRecipes() {
    RunSession& session = system.Session();
    ASSERT_TRUE(RescanUnits(system));
    session.Wait(session.Start(RunRecipe::Information, SiteChoice::SelectedSites()));
    session.Wait(session.Start(RunRecipe::FlashLed, SiteChoice::ListedSites({1})));
    session.Wait(session.Start(RunRecipe::Reset, SiteChoice::ListedSites({0, 5})));  // no unit
    ASSERT_EQ(session.LoadProject(demo.projects.front()), LoadCode::Loaded);
    session.Wait(session.StartRun({RunSource::Pc, false, {}, 0}));
    session.Wait(session.StartRun({RunSource::Pc, false, {2}, 0}));
    system.Shutdown();
  }

  DemoBase demo;
  sim::SimRig rig;
  SiteSystem system;
  RecordingObserver observer;
};

TEST(SessionHostsTest, TheWindowsAndTheCommandLineSeeTheSameEvents) {
  Bench windows(nullptr);
  auto form = std::make_unique<TMainForm>(windows.system);  // attaches its QtSiteHost
  windows.RunRecipes();
  form->SiteHost().Drain();

  CliSiteHost cliHost;
  Bench commandLine(&cliHost);
  commandLine.RunRecipes();

  const auto seen = windows.observer.Events();
  EXPECT_EQ(seen, commandLine.observer.Events());
  // The whole run, at its edges: the rescan's site group, the information's log limit, each
  // wait's summary (the listed site 6 has no unit: nothing started), the project load, and
  // site 3's two parts (the second on the part left in the socket fails its erase).
  EXPECT_EQ(seen.at(-1), (std::vector<std::string>{
                             "panel 6 0 ",
                             "panel 6 1 ",
                             "log limit 0 10000",
                             "summary s0 s1 s2 p0 p1 p2 parts 0/0",
                             "summary s1 p1 parts 0/0",
                             "summary parts 0/0",
                             "project CV25Q64.zvprj",
                             "summary s0 s1 s2 p0 p1 p2 parts 3/0",
                             "summary s2 parts 0/1",
                         }));
  std::vector<std::string> parts;
  for (const std::string& event : seen.at(2)) {
    if (event.rfind("part ", 0) == 0) parts.push_back(event);
  }
  EXPECT_EQ(parts, (std::vector<std::string>{"part CV25Q64.zvprj 160 160 1 8",
                                             "part CV25Q64.zvprj 161 161 0 3"}));
  form.reset();
}

}  // namespace
