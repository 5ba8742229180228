#include "site/ops/sd_run_ops.h"

#include <chrono>

#include "link/link_table.h"
#include "link/standard_exchange.h"
#include "site/opcode_table.h"
#include "site/ops/auto_run_ops.h"
#include "site/ops/part_record_ops.h"
#include "site/ops/run_setup.h"
#include "site/site_system.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint8_t kStartB1 = 1;
constexpr std::uint8_t kStartCommandByte = 1;
constexpr std::uint8_t kAutoRunCommandByte = 1;

// The start of a run from the card: frame 0xA7 without a command code.
bool SendCardRunStart(ZvUsb& link) {
  CommandParts parts;
  parts.Command =
      link.MakeCommandPacket(FrameType::SdRun, kStartB1, 0, 0, kStartCommandByte, 0, 0, 0);
  return link.SendCommand(std::move(parts));
}

// Follows the started run; the result before reporting, and the loop's facts.
SiteResult FollowCardRun(const RunSetup& run, StepLoopOutcome& loop) {
  SiteSystem& system = run.System;
  const StepReportSite at{system.Log(),
                          run.Site,
                          run.Driver,
                          run.Plan,
                          run.Value.Step[StepFlag::Pinscan] != 0,
                          system.RunBytes(run.Site)};
  StepLoopInputs inputs{system.Links(), at, run.Procedure, {}, run.DataLength};
  inputs.CardData = true;
  loop = RunStepLoop(inputs);
  return loop.Result;
}

}  // namespace

SiteResult SdRunAll(SiteSystem& system, int site) {
  if (!IsSiteIndex(site)) return SiteResultCode::Fail;
  const SiteProcessPlan& plan = system.Project().Records().ProcessPlan[SiteSlot(site)];
  if (!AnySocketPlanned(plan)) {
    LogSite(system.Log(), site, " - No Choice Textool!", LogColour::Red);
    return SiteResultCode::Fail;
  }
  ZvUsb& link = system.Link(site);
  if (link.IsBusy()) {
    LogSite(system.Log(), site, " - USB Busy!", LogColour::Red);
    return SiteResultCode::Fail;
  }
  const Clock::time_point start = Clock::now();
  LogRunStart(system.Log(), site, RunSource::SdCard);
  RunSetup run = PrepareRun(system, site, RunSource::SdCard);
  const std::uint8_t sockets = SocketMask(run.Plan.SocketCode);
  if (!run.Procedure.Ok()) {  // the PC could not follow the unit: do not start it
    LogSite(system.Log(), site, run.Procedure.Error, LogColour::Red);
    return SiteResultCode::Fail;
  }
  if (!SendCardRunStart(link)) {
    LogSite(system.Log(), site, " - SDCard RUN ALL Command Error!", LogColour::Red);
    link.ClearBusy();
    return SiteResultCode::Fail;  // nothing ran: nothing is counted
  }
  StepLoopOutcome loop;
  loop.LastReply.fill(kFill);
  SiteResult result = FollowCardRun(run, loop);
  if (!system.UnitPresent(site)) {
    link.CloseDevice();
    result = SiteResultCode::Fail;
  }
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
  result = CountRun(run, result, loop, sockets, static_cast<std::uint64_t>(elapsed.count()));
  EndRun(run, result);
  link.ClearBusy();
  return result;
}

SiteResult SdAutoRunInit(SiteSystem& system, int site) {
  if (!IsSiteIndex(site)) return SiteResultCode::Fail;
  return StandardCommand(system.Links(), system.Log(), site, "SDCard AutoRun Initialization",
                         CommandCode::SdCardAutoRunInit, kAutoRunCommandByte)
      .Result;
}

SiteResult SdAutoRunLoop(SiteSystem& system, int site) {
  return AutoRunLoop(system, site, RunSource::SdCard);
}

void RegisterSdRunOperations(OpcodeTable& table) {
  table.Register(Opcodes::SdLoadRunSettings,
                 [](SiteSystem& system, int site, const OperationTexts&) {
                   return LoadRunProject(system, site);
                 });
  table.Register(Opcodes::SdRunAll, [](SiteSystem& system, int site, const OperationTexts&) {
    return SdRunAll(system, site);
  });
  table.Register(Opcodes::SdAutoRunInit, [](SiteSystem& system, int site, const OperationTexts&) {
    return SdAutoRunInit(system, site);
  });
  table.Register(Opcodes::SdAutoRunLoop, [](SiteSystem& system, int site, const OperationTexts&) {
    return SdAutoRunLoop(system, site);
  });
}
