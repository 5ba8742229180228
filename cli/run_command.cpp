// gangprog-cli run: the project window's load and the main window's "Run Program", with the
// automatic loop ended by a part count or Ctrl-C the way "Stop All" ends it. gangprog-cli sd
// run: the same run in SD card mode, where each unit runs the run project of its own card.
#include <chrono>
#include <vector>

#include "cli/cli_program.h"
#include "cli/commands.h"
#include "cli/run_events.h"
#include "cli/stop_request.h"
#include "project/cproject.h"
#include "records/record_store.h"
#include "records/record_writer.h"
#include "site/project_load.h"
#include "site/rescan.h"
#include "site/run_session.h"
#include "site/site_system.h"

namespace {
constexpr std::chrono::seconds kRecordPatience{10};

RunRequest RequestOf(const CliOptions& options) {
  RunRequest request;
  request.source = options.command == CliCommand::Sd ? RunSource::SdCard : RunSource::Pc;
  request.autoRun = options.autoRun;
  request.sites = options.sites;
  if (options.parts) request.parts = static_cast<std::uint64_t>(*options.parts);
  return request;
}

// 0 when a site started, every started site ended passed and no part failed.
int RunStatus(const RunSummary& summary) {
  if (summary.tally.failed != 0) return CliExit::PartFailed;
  return summary.AllPassed() ? CliExit::AllPassed : CliExit::PartFailed;
}

// The units greeted, the run started and waited for. Nothing started when no chosen site has
// a unit or the stop came first.
StartedRun RunOnUnits(SiteSystem& system, const CliOptions& options, StopRequest* stop) {
  if (!RescanUnits(system)) return {};
  if (stop != nullptr && stop->Requested()) return {};
  RunSession& session = system.Session();
  // Attached before the start, so a stop during the run reaches the loops at once; one that came
  // while the start armed them is passed on right after it.
  if (stop != nullptr) stop->Attach(session);
  const StartedRun run = session.StartRun(RequestOf(options));
  if (stop != nullptr && stop->Requested()) session.RequestStop();
  session.Wait(run);
  if (stop != nullptr) stop->Detach();
  system.Shutdown();  // every worker ended: no more events, no more records
  return run;
}

// From the PC: the project loads and selects a procedure. From the cards each unit's run
// project is loaded by the run itself.
bool ProjectReady(SiteSystem& system, const CliOptions& options) {
  const RunSource source = RequestOf(options).source;
  if (source == RunSource::SdCard) return true;
  // A failed load has shown its message through the host already.
  if (system.Session().LoadProject(options.project) != LoadCode::Loaded) return false;
  return system.Session().ReadyToRun(source);
}
}  // namespace

int RunCommand(HeadlessProgram& program, const CliOptions& options, CliEnvironment& env) {
  if (!program.Initialize()) return CliExit::BadInput;
  if (!ProjectReady(program.System(), options)) return CliExit::BadInput;
  return RunParts(program, options, env);
}

int RunParts(HeadlessProgram& program, const CliOptions& options, CliEnvironment& env) {
  SiteSystem& system = program.System();
  RunEvents events(env.out, program.OutputMutex(), options.json);
  system.Session().Attach(events);
  const StartedRun run = RunOnUnits(system, options, env.stop);
  system.Session().Detach(events);
  if (RecordWriter* writer = system.PartRecords()) writer->Flush(kRecordPatience);
  program.Log().Flush();
  if (!run.Started() && !(env.stop != nullptr && env.stop->Requested())) return CliExit::NoUnit;
  events.PrintSummary();
  return RunStatus(events.Summary());
}
