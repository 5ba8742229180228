#include "site/ops/auto_run_ops.h"

#include <algorithm>
#include <chrono>

#include "link/standard_exchange.h"
#include "link/zv_usb.h"
#include "project/driver_slots.h"
#include "site/loaded_project.h"
#include "site/ops/insert_report.h"
#include "site/ops/run_all_ops.h"
#include "site/ops/sd_run_ops.h"
#include "site/ops/step_reply.h"
#include "site/ops/unit_message.h"
#include "site/run_controls.h"
#include "site/site_context.h"
#include "site/site_panels.h"
#include "site/site_run_bytes.h"

namespace {

constexpr std::uint8_t kDetectCodeCount = 1;
constexpr SiteResult kLastCardStartFailure = 0xAA;

std::uint8_t& PinscanFlag(SiteContext& ctx) {
  return ctx.Value().Step[StepFlag::Pinscan];
}

bool DetectsInsertion(SiteContext& ctx) {
  return ctx.Driver().Value(DriverSlot::InsertDetectSupport) != 0;
}

bool IsOverCurrent(SiteResult result) {
  return result == SiteResultCode::OverCurrentAll || result == SiteResultCode::OverCurrentVddVio ||
         result == SiteResultCode::OverCurrentVppVhh;
}

std::optional<ExchangeOptions::Line> DetectionAnswerLine(std::uint8_t answer) {
  switch (answer) {
    case SiteResultCode::OverCurrentAll:
      return ExchangeOptions::Line{" - Insert Detect DUT VDD/VIO/VPP/VHH Over Current!",
                                   LogColour::Red};
    case SiteResultCode::OverCurrentVddVio:
      return ExchangeOptions::Line{" - Insert Detect DUT VDD/VIO Over Current!", LogColour::Red};
    case SiteResultCode::OverCurrentVppVhh:
      return ExchangeOptions::Line{" - Insert Detect DUT VPP/VHH Over Current!", LogColour::Red};
    default:
      return ExchangeOptions::Line{"", LogColour::Black};  // the report says it
  }
}

// Each socket takes part in what follows only where the unit found a part.
void MarkSockets(SiteProcessPlan& plan, const StepReply& reply) {
  for (std::size_t k = 0; k < plan.SocketCode.size(); ++k) {
    plan.SocketCode[k] = reply.SocketHoldsPart(k) ? kPlanEnabled : kPlanDisabled;
  }
}

// The poll interval, cut short by "Stop All" or a closed link.
void PollPause(SiteContext& ctx, std::chrono::milliseconds interval) {
  ctx.LoopPause(interval,
                [&ctx] { return ctx.Controls().StopAllEnabled && ctx.Link().IsOpened(); });
}

enum class WaitEnd { Reached, LinkClosed, Stopped };

WaitEnd WaitForSocketState(SiteContext& ctx, bool ignore, std::chrono::milliseconds interval) {
  while (!SocketStateReached(ctx, ignore)) {
    PollPause(ctx, interval);
    if (!ctx.Link().IsOpened()) return WaitEnd::LinkClosed;
    if (!ctx.Controls().StopAllEnabled) return WaitEnd::Stopped;
  }
  return WaitEnd::Reached;
}

// How a loop's wait ends it, if it does: a lost unit fails, "Stop All" gives the last run's
// result, a loop that was ended from outside passes.
std::optional<SiteResult> LoopEndAfterWait(SiteContext& ctx, WaitEnd end) {
  if (end == WaitEnd::LinkClosed) return SiteResultCode::Fail;
  if (end == WaitEnd::Stopped) return ctx.RunBytes().RunResult.load();
  if (ctx.RunBytes().AutoRunActive == 0) return SiteResultCode::Pass;
  return std::nullopt;
}

SiteResult OverCurrentEnd(SiteContext& ctx) {
  LogSite(ctx.Log(), ctx.Site(), " - Over Current!", LogColour::Red);
  return SiteResultCode::Fail;
}

// After a run: TAKE until every socket is empty, then PUT until the next part is in.
std::optional<SiteResult> TakeThenPut(SiteContext& ctx, std::chrono::milliseconds interval) {
  SitePanels& panels = ctx.Panels();
  panels.SetStatus(ctx.Site(), siTake);
  ctx.RunBytes().AutoRunPhase = AutoRunPhaseValue::AwaitRemoval;
  if (auto end = LoopEndAfterWait(ctx, WaitForSocketState(ctx, false, interval))) {
    return end;
  }
  panels.SetStatus(ctx.Site(), siPut);
  ctx.RunBytes().AutoRunPhase = AutoRunPhaseValue::AwaitInsertion;
  return LoopEndAfterWait(ctx, WaitForSocketState(ctx, false, interval));
}

// The unit could not start from its card (a code of its own, 0xA5 to 0xAA): every further
// part would fail the same way, so the loop ends rather than count them.
bool CardRunRefused(SiteResult run) {
  return run >= ReplyVerdict::Empty && run <= kLastCardStartFailure;
}

// A card run that found the sockets empty waits for a part; one the unit refused ends the loop.
std::optional<SiteResult> AfterCardRunEnd(SiteContext& ctx, SiteResult run,
                                          std::chrono::milliseconds interval) {
  if (run == ReplyVerdict::Empty && ctx.RunBytes().RunVerdict == ReplyVerdict::Empty) {
    ctx.RunBytes().AutoRunPhase = AutoRunPhaseValue::AwaitInsertion;
    const WaitEnd end = WaitForSocketState(ctx, false, interval);
    if (end == WaitEnd::Stopped) return SiteResultCode::Pass;
    return LoopEndAfterWait(ctx, end);
  }
  LogSite(ctx.Log(), ctx.Site(), " - RUN ALL Procedure is Fail!", LogColour::Red);
  return run;
}

// One part: RUN ALL, its result in the large field, then the wait for the next part. A
// result ends the loop; none goes on with the next pass.
std::optional<SiteResult> RunOnePart(SiteContext& ctx, RunSource source,
                                     std::chrono::milliseconds interval) {
  SitePanels& panels = ctx.Panels();
  panels.SetStatus(ctx.Site(), siWorking);
  if (source == RunSource::SdCard) {
    SdRunAll(ctx);
  } else {
    RunAll(ctx);
  }
  if (DetectsInsertion(ctx)) PinscanFlag(ctx) = 1;
  const SiteResult run = ctx.RunBytes().RunResult;
  if (IsOverCurrent(run)) return OverCurrentEnd(ctx);
  if (CardRunRefused(run)) return AfterCardRunEnd(ctx, run, interval);
  if (run != SiteResultCode::Pass && run != SiteResultCode::Fail) {
    panels.SetStatus(ctx.Site(), siWorking);  // the data did not reach the unit: look again
    return std::nullopt;
  }
  panels.SetBigStatus(ctx.Site(), run == SiteResultCode::Pass ? siPass : siFail);
  const SiteResult after = InsertDetect(ctx, false);
  if (IsOverCurrent(after)) return OverCurrentEnd(ctx);
  return TakeThenPut(ctx, interval);
}

}  // namespace

SiteResult InsertDetect(SiteContext& ctx, bool log) {
  if (PinscanFlag(ctx) == 0) return SiteResultCode::Pass;
  ZvUsb& link = ctx.Link();
  const CProject& project = ctx.Project().Project();
  const SiteProcessPlan& plan = ctx.Plan();
  CommandParts parts;
  parts.Command =
      link.MakeCommandPacket({.CodeCount = kDetectCodeCount, .Command = plan.SocketCount});
  parts.Code = link.MakeCodeWord(CommandCode::InsertDetect);
  const auto& socket = plan.SocketCode;
  parts.ByteQuad = MakeByteQuadPacket(socket[0], socket[1], socket[2], socket[3]);
  const auto& area = plan.AreaCode;
  parts.ByteQuadFlag =
      MakeByteQuadFlagPacket(area[0], area[1], area[2], area[3], project.PreBlankCheck ? 1 : 0);
  ExchangeOptions options;
  options.LogStart = log;
  options.OwnAnswers = {SiteResultCode::OverCurrentAll, SiteResultCode::OverCurrentVddVio,
                        SiteResultCode::OverCurrentVppVhh};
  options.AnswerLine = DetectionAnswerLine;
  const ExchangeOutcome outcome = StandardExchange(
      ctx.Link(), ctx.Log(), ExchangeTexts::FromStem("Insert Detect"), std::move(parts), options);
  // Only a reply that arrived says anything about the sockets.
  if (!outcome.Sent || outcome.Answer == SiteResultCode::LinkClosed) return outcome.Result;
  if (outcome.Answer == SiteResultCode::Pass || outcome.Answer == SiteResultCode::Fail) {
    ReportInsertDetect(ctx, outcome.ReplyBytes, log);
  }
  MarkSockets(ctx.Plan(), StepReply(outcome.ReplyBytes));
  ReportUnitMessage(ctx.Log(), ctx.Site(), outcome.ReplyBytes);
  return outcome.Result;
}

bool SocketStateReached(SiteContext& ctx, bool ignore) {
  if (ctx.RunBytes().AutoRunActive == 0) return true;
  ctx.Plan().SocketCode[0] = kPlanEnabled;
  if (ignore) {
    if (DetectsInsertion(ctx)) PinscanFlag(ctx) = 0;
    return true;
  }
  return DetectionReachesState(InsertDetect(ctx, false), ctx.RunBytes());
}

SiteResult AutoRunLoop(SiteContext& ctx, const OperationTexts&) {
  return AutoRunLoopFrom(ctx, RunSource::Pc);
}

SiteResult SdAutoRunLoop(SiteContext& ctx, const OperationTexts&) {
  return AutoRunLoopFrom(ctx, RunSource::SdCard);
}

SiteResult AutoRunLoopFrom(SiteContext& ctx, RunSource source) {
  RunControls& controls = ctx.Controls();
  if (DetectsInsertion(ctx)) PinscanFlag(ctx) = 1;
  ctx.RunBytes().AutoRunActive = 1;
  const std::chrono::milliseconds interval(std::max(controls.AutoRunInterval.load(), 0));
  for (;;) {
    bool ignore = controls.IgnoreInsertionDetection;
    if (!controls.StopAllEnabled) return ctx.RunBytes().RunResult;
    const SiteResult found = InsertDetect(ctx, false);
    ctx.Panels().SetBigStatus(ctx.Site(), found == SiteResultCode::Pass ? siPass : siFail);
    if (IsOverCurrent(found)) return OverCurrentEnd(ctx);
    if (found == SiteResultCode::Fail) {
      ctx.Panels().SetStatus(ctx.Site(), siPut);
      if (auto end = LoopEndAfterWait(ctx, WaitForSocketState(ctx, ignore, interval))) {
        return *end;
      }
      if (!ignore) continue;
      PinscanFlag(ctx) = 0;
      if (ctx.RunBytes().InsertState == ReplyVerdict::Empty) {
        // Every socket is empty: detect again after the poll interval, not at once.
        if (DetectsInsertion(ctx)) PinscanFlag(ctx) = 1;
        PollPause(ctx, interval);
        continue;
      }
    }
    if (auto end = RunOnePart(ctx, source, interval)) return *end;
  }
}
