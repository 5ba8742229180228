#include "site/ops/run_setup.h"

#include <algorithm>
#include <mutex>

#include "link/zv_usb.h"
#include "site/loaded_project.h"
#include "site/ops/part_record_ops.h"
#include "site/ops/step_reply.h"
#include "site/site_context.h"
#include "site/site_panels.h"
#include "site/site_run_bytes.h"

RunPlan PrepareRun(SiteContext& ctx, RunSource source) {
  const CProject& project = ctx.Project().Project();
  RunPlan run;
  run.Source = source;
  const bool fromPc = source == RunSource::Pc;
  run.Nand = fromPc && IsBlockOrganised(ctx.Driver());
  run.GroupDefine = run.Nand && project.UsingGroupDefine;
  const std::int32_t blocks = ProjectKeyInteger(project.ProcessBlocks);
  run.DataLength = fromPc ? RunDataLength(ctx.Driver(), ctx.Plan(), blocks)
                          : ctx.Plan().MainLength + ctx.Plan().ExtLength;
  const std::vector<GroupDefineEntry> table =
      run.GroupDefine ? project.GroupDefine() : std::vector<GroupDefineEntry>{};
  ProcedureInputs inputs{ctx.Value(), ctx.Driver(), run.DataLength, blocks, run.GroupDefine, table};
  inputs.BlockHandling = fromPc;
  run.Procedure = BuildProcedureList(inputs);
  ctx.Link().PinscanWord = run.Procedure.PinscanOn ? FlagByte::On : FlagByte::Off;
  return run;
}

bool AnySocketPlanned(const SiteProcessPlan& plan) {
  return std::any_of(plan.SocketCode.begin(), plan.SocketCode.end(),
                     [](std::uint8_t code) { return code != 0; });
}

SiteResult CountRun(SiteContext& ctx, const RunPlan& run, SiteResult result,
                    const StepLoopOutcome& loop, std::uint8_t sockets, std::uint64_t elapsedMs) {
  if (run.Source == RunSource::SdCard) {
    const std::uint8_t verdict = StepReply(loop.LastReply).Verdict();
    result = ReportCardRunEnd(ctx.Log(), ctx.Site(), result, verdict, elapsedMs);
  }
  RecordRunEnd(ctx.RunBytes(), result, loop.LastReply);
  CountRunEnd(ctx.Panels(), ctx.Site(), result);
  if (run.Source == RunSource::Pc) ReportRunEnd(ctx.Log(), ctx.Site(), result, elapsedMs);
  ctx.Panels().UpdateStatistics();
  PartRecord record =
      MakePartRecord(ctx, RunFacts{result, loop.LastReply, loop.Steps, sockets, elapsedMs});
  if (run.Source == RunSource::SdCard) {
    // The card's run project, not what the PC has loaded.
    const SiteRunBytes& bytes = ctx.RunBytes();
    record.ProjectFile = bytes.CardProject;
    record.DataCrc = bytes.CardImageCrc;
  }
  SubmitPartRecord(ctx, std::move(record));
  return result;
}

SiteResult EndRun(SiteContext& ctx, SiteResult result) {
  {
    std::lock_guard<std::mutex> lock(ctx.PlanLock());
    BuildSiteProcessPlan(ctx.Project().Records(), SiteSlot(ctx.Site()));
  }
  ctx.RequestLogLimitCheck();
  return result;
}
