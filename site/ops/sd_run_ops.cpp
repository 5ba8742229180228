#include "site/ops/sd_run_ops.h"

#include <chrono>

#include "link/standard_exchange.h"
#include "link/zv_usb.h"
#include "site/ops/part_record_ops.h"
#include "site/ops/run_setup.h"
#include "site/site_context.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint8_t kStartCommandByte = 1;
constexpr std::uint8_t kAutoRunCommandByte = 1;

// The start of a run from the card: frame 0xA7 without a command code.
bool SendCardRunStart(ZvUsb& link) {
  CommandParts parts;
  parts.Command = link.MakeCommandPacket(
      {.Frame = FrameType::SdRun, .CodeCount = 0, .Command = kStartCommandByte});
  return link.SendCommand(std::move(parts));
}

// Follows the started run; the result before reporting, and the loop's facts.
SiteResult FollowCardRun(SiteContext& ctx, const RunPlan& run, StepLoopOutcome& loop) {
  StepLoopData data{run.Procedure, {}, run.DataLength};
  data.CardData = true;
  loop = RunStepLoop(ctx, data);
  return loop.Result;
}

}  // namespace

SiteResult SdRunAll(SiteContext& ctx, const OperationTexts&) {
  const SiteProcessPlan& plan = ctx.Plan();
  if (!AnySocketPlanned(plan)) {
    LogSite(ctx.Log(), ctx.Site(), " - No Choice Textool!", LogColour::Red);
    return SiteResultCode::Fail;
  }
  ZvUsb& link = ctx.Link();
  if (link.IsBusy()) {
    LogSite(ctx.Log(), ctx.Site(), " - USB Busy!", LogColour::Red);
    return SiteResultCode::Fail;
  }
  const Clock::time_point start = Clock::now();
  LogRunStart(ctx.Log(), ctx.Site(), RunSource::SdCard);
  const RunPlan run = PrepareRun(ctx, RunSource::SdCard);
  const std::uint8_t sockets = SocketMask(plan.SocketCode);
  if (!run.Procedure.Ok()) {  // the PC could not follow the unit: do not start it
    LogSite(ctx.Log(), ctx.Site(), run.Procedure.Error, LogColour::Red);
    return SiteResultCode::Fail;
  }
  if (!SendCardRunStart(link)) {
    LogSite(ctx.Log(), ctx.Site(), " - SDCard RUN ALL Command Error!", LogColour::Red);
    link.ClearBusy();
    return SiteResultCode::Fail;  // nothing ran: nothing is counted
  }
  StepLoopOutcome loop;
  loop.LastReply.fill(kFill);
  SiteResult result = FollowCardRun(ctx, run, loop);
  if (!ctx.UnitPresent()) {
    link.CloseDevice();
    result = SiteResultCode::Fail;
  }
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
  result = CountRun(ctx, run, result, loop, sockets, static_cast<std::uint64_t>(elapsed.count()));
  EndRun(ctx, result);
  link.ClearBusy();
  return result;
}

SiteResult SdAutoRunInit(SiteContext& ctx, const OperationTexts&) {
  return StandardCommand(ctx.Link(), ctx.Log(), "SDCard AutoRun Initialization",
                         CommandCode::SdCardAutoRunInit, kAutoRunCommandByte)
      .Result;
}
