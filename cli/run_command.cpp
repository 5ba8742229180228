// gangprog-cli run: the project window's load and the main window's "Run Program", with the
// automatic loop ended by a part count or Ctrl-C the way "Stop All" ends it. gangprog-cli sd
// run: the same run in SD card mode, where each unit runs the run project of its own card.
#include <algorithm>
#include <chrono>
#include <vector>

#include "cli/cli_program.h"
#include "cli/commands.h"
#include "cli/run_events.h"
#include "cli/site_starts.h"
#include "cli/stop_request.h"
#include "project/cproject.h"
#include "records/record_store.h"
#include "records/record_writer.h"
#include "site/project_load.h"
#include "site/rescan.h"
#include "site/run_recipes.h"
#include "site/site_system.h"
#include "site/site_wait.h"

namespace {
constexpr std::chrono::seconds kRecordPatience{10};

bool FromCard(const CliOptions& options) {
  return options.command == CliCommand::Sd;
}

std::vector<int> StartRun(SiteSystem& system, const CliOptions& options) {
  return StartRecipeOnUnits(system, MainRunRecipe(FromCard(options), options.autoRun),
                            options.sites);
}

// 0 when a site started, every started site ended passed and no part failed.
int RunStatus(SiteSystem& system, const std::vector<int>& started, const RunTally& tally) {
  if (tally.failed != 0) return CliExit::PartFailed;
  return AllEndedPassed(system, started) ? CliExit::AllPassed : CliExit::PartFailed;
}

// The units greeted, the run started and waited for. Empty when no chosen site has a unit.
std::vector<int> RunOnUnits(SiteSystem& system, const CliOptions& options, StopRequest* stop) {
  if (!RescanUnits(system)) return {};
  // "Stop All" is on before any loop can look at it.
  system.Controls().StopAllEnabled = options.autoRun;
  if (stop != nullptr) stop->Attach(system.Controls());
  std::vector<int> started;
  if (stop == nullptr || !stop->Requested()) started = StartRun(system, options);
  if (!started.empty()) WaitForSites(system);
  system.Controls().StopAllEnabled = false;
  if (stop != nullptr) stop->Detach();
  system.Shutdown();  // every worker ended: no more events, no more records
  return started;
}

bool LoadProject(SiteSystem& system, const CliOptions& options) {
  // A failed load has shown its message through the host already.
  return LoadProjectInto(system, options.project) == LoadCode::Loaded;
}

// From the PC: the project loads and selects a procedure. From the cards each unit's run
// project is loaded by the run itself.
bool ProjectReady(SiteSystem& system, const CliOptions& options) {
  if (FromCard(options)) return true;
  if (!LoadProject(system, options)) return false;
  if (system.ProcedureSelected()) return true;
  system.Log().AddLogMessage("No Select Procedure for Project!", LogColour::Red, 1, 0);
  return false;
}
}  // namespace

int RunCommand(HeadlessProgram& program, const CliOptions& options, CliEnvironment& env) {
  if (!program.Initialize()) return CliExit::BadInput;
  if (!ProjectReady(program.System(), options)) return CliExit::BadInput;
  return RunParts(program, options, env);
}

int RunParts(HeadlessProgram& program, const CliOptions& options, CliEnvironment& env) {
  SiteSystem& system = program.System();
  RunEvents events(env.out, program.OutputMutex(), options.json, system.Panels());
  if (options.parts)
    events.StopAfter(static_cast<std::uint64_t>(*options.parts), system.Controls());
  program.Host().SetEventHook([&events](const PanelEvent& event) { events.Show(event); });
  system.AttachPartSink(events);
  const std::vector<int> started = RunOnUnits(system, options, env.stop);
  system.DetachPartSink();
  program.Host().SetEventHook(nullptr);
  if (RecordWriter* writer = system.PartRecords()) writer->Flush(kRecordPatience);
  program.Log().Flush();
  if (started.empty() && !(env.stop != nullptr && env.stop->Requested())) return CliExit::NoUnit;
  events.PrintSummary();
  return RunStatus(system, started, events.Tally());
}
