#include "site/ops/run_setup.h"

#include <algorithm>
#include <mutex>

#include "site/ops/part_record_ops.h"
#include "site/ops/step_reply.h"
#include "site/site_system.h"

RunSetup PrepareRun(SiteSystem& system, int site, RunSource source) {
  LoadedProject& loaded = system.Project();
  ProjectRecords& records = loaded.Records();
  const std::size_t slot = SiteSlot(site);
  RunSetup setup{system,
                 site,
                 source,
                 records.DriverIni[slot],
                 records.ProjectValue[slot],
                 records.ProcessPlan[slot],
                 loaded.Project(),
                 false,
                 false,
                 0,
                 {}};
  const bool fromPc = source == RunSource::Pc;
  setup.Nand = fromPc && IsBlockOrganised(setup.Driver);
  setup.GroupDefine = setup.Nand && setup.Project.UsingGroupDefine;
  const std::int32_t blocks = ProjectKeyInteger(setup.Project.ProcessBlocks);
  setup.DataLength = fromPc ? RunDataLength(setup.Driver, setup.Plan, blocks)
                            : setup.Plan.MainLength + setup.Plan.ExtLength;
  const std::vector<GroupDefineEntry> table =
      setup.GroupDefine ? setup.Project.GroupDefine() : std::vector<GroupDefineEntry>{};
  ProcedureInputs inputs{setup.Value, setup.Driver,      setup.DataLength,
                         blocks,      setup.GroupDefine, table};
  inputs.BlockHandling = fromPc;
  setup.Procedure = BuildProcedureList(inputs);
  system.Link(site).PinscanWord = setup.Procedure.PinscanOn ? FlagByte::On : FlagByte::Off;
  return setup;
}

bool AnySocketPlanned(const SiteProcessPlan& plan) {
  return std::any_of(plan.SocketCode.begin(), plan.SocketCode.end(),
                     [](std::uint8_t code) { return code != 0; });
}

SiteResult CountRun(const RunSetup& run, SiteResult result, const StepLoopOutcome& loop,
                    std::uint8_t sockets, std::uint64_t elapsedMs) {
  SiteSystem& system = run.System;
  if (run.Source == RunSource::SdCard) {
    const std::uint8_t verdict = StepReply(loop.LastReply).Verdict();
    result = ReportCardRunEnd(system.Log(), run.Site, result, verdict, elapsedMs);
  }
  RecordRunEnd(system.RunBytes(run.Site), result, loop.LastReply);
  CountRunEnd(system.Panels(), run.Site, result);
  if (run.Source == RunSource::Pc) ReportRunEnd(system.Log(), run.Site, result, elapsedMs);
  system.Panels().UpdateStatistics();
  PartRecord record = MakePartRecord(
      system, RunFacts{run.Site, result, loop.LastReply, loop.Steps, sockets, elapsedMs});
  if (run.Source == RunSource::SdCard) {
    // The card's run project, not what the PC has loaded.
    const SiteRunBytes& bytes = system.RunBytes(run.Site);
    record.ProjectFile = bytes.CardProject;
    record.DataCrc = bytes.CardImageCrc;
  }
  SubmitPartRecord(system, std::move(record));
  return result;
}

SiteResult EndRun(const RunSetup& run, SiteResult result) {
  {
    std::lock_guard<std::mutex> lock(run.System.PlanLock());
    BuildSiteProcessPlan(run.System.Project().Records(), SiteSlot(run.Site));
  }
  const S_SystemPara& para = run.System.Para();
  run.System.LogPipeline().RequestLimitCheck(para.MBoxClrSel, para.MegLimitRows);
  return result;
}
