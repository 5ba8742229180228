#include "site/ops/auto_run_ops.h"

#include <algorithm>
#include <chrono>

#include "link/link_table.h"
#include "link/standard_exchange.h"
#include "project/driver_slots.h"
#include "site/opcode_table.h"
#include "site/ops/insert_report.h"
#include "site/ops/run_all_ops.h"
#include "site/ops/sd_run_ops.h"
#include "site/ops/step_reply.h"
#include "site/ops/unit_message.h"
#include "site/site_system.h"

namespace {

constexpr std::uint8_t kDetectB1 = 1;
constexpr std::uint8_t kDetectCodeCount = 1;
constexpr SiteResult kLastCardStartFailure = 0xAA;

struct LoopSite {
  SiteSystem& System;
  int Site;
  RunSource Source;
  S_ProjectValue& Value;
  const ZV_Driver_INI& Driver;
  SiteProcessPlan& Plan;
  SiteRunBytes& RunBytes;
};

LoopSite SiteOf(SiteSystem& system, int site, RunSource source = RunSource::Pc) {
  ProjectRecords& records = system.Project().Records();
  const std::size_t slot = SiteSlot(site);
  return LoopSite{system,
                  site,
                  source,
                  records.ProjectValue[slot],
                  records.DriverIni[slot],
                  records.ProcessPlan[slot],
                  system.RunBytes(site)};
}

std::uint8_t& PinscanCheck(const LoopSite& at) {
  return at.Value.Step[StepFlag::Pinscan];
}

bool DetectsInsertion(const LoopSite& at) {
  return at.Driver.Value(DriverSlot::InsertDetectSupport) != 0;
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
void PollPause(SiteSystem& system, int site, std::chrono::milliseconds interval) {
  system.LoopPause(interval, [&system, site] {
    return system.Controls().StopAllEnabled && system.Link(site).IsOpened();
  });
}

enum class WaitEnd { Reached, LinkClosed, Stopped };

WaitEnd WaitForSocketState(SiteSystem& system, int site, bool ignore,
                           std::chrono::milliseconds interval) {
  while (!SocketStateReached(system, site, ignore)) {
    PollPause(system, site, interval);
    if (!system.Link(site).IsOpened()) return WaitEnd::LinkClosed;
    if (!system.Controls().StopAllEnabled) return WaitEnd::Stopped;
  }
  return WaitEnd::Reached;
}

// How a loop's wait ends it, if it does: a lost unit fails, "Stop All" gives the last run's
// result, a loop that was ended from outside passes.
std::optional<SiteResult> LoopEndAfterWait(const LoopSite& at, WaitEnd end) {
  if (end == WaitEnd::LinkClosed) return SiteResultCode::Fail;
  if (end == WaitEnd::Stopped) return at.RunBytes.RunResult.load();
  if (at.RunBytes.AutoRunActive == 0) return SiteResultCode::Pass;
  return std::nullopt;
}

SiteResult OverCurrentEnd(const LoopSite& at) {
  LogSite(at.System.Log(), at.Site, " - Over Current!", LogColour::Red);
  return SiteResultCode::Fail;
}

// After a run: TAKE until every socket is empty, then PUT until the next part is in.
std::optional<SiteResult> TakeThenPut(const LoopSite& at, std::chrono::milliseconds interval) {
  SitePanels& panels = at.System.Panels();
  panels.SetStatus(at.Site, siTake);
  at.RunBytes.AutoRunPhase = AutoRunPhaseValue::AwaitRemoval;
  if (auto end = LoopEndAfterWait(at, WaitForSocketState(at.System, at.Site, false, interval))) {
    return end;
  }
  panels.SetStatus(at.Site, siPut);
  at.RunBytes.AutoRunPhase = AutoRunPhaseValue::AwaitInsertion;
  return LoopEndAfterWait(at, WaitForSocketState(at.System, at.Site, false, interval));
}

// The unit could not start from its card (a code of its own, 0xA5 to 0xAA): every further
// part would fail the same way, so the loop ends rather than count them.
bool CardRunRefused(SiteResult run) {
  return run >= ReplyVerdict::Empty && run <= kLastCardStartFailure;
}

// A card run that found the sockets empty waits for a part; one the unit refused ends the loop.
std::optional<SiteResult> AfterCardRunEnd(const LoopSite& at, SiteResult run,
                                          std::chrono::milliseconds interval) {
  if (run == ReplyVerdict::Empty && at.RunBytes.RunVerdict == ReplyVerdict::Empty) {
    at.RunBytes.AutoRunPhase = AutoRunPhaseValue::AwaitInsertion;
    const WaitEnd end = WaitForSocketState(at.System, at.Site, false, interval);
    if (end == WaitEnd::Stopped) return SiteResultCode::Pass;
    return LoopEndAfterWait(at, end);
  }
  LogSite(at.System.Log(), at.Site, " - RUN ALL Procedure is Fail!", LogColour::Red);
  return run;
}

// One part: RUN ALL, its result in the large field, then the wait for the next part. A
// result ends the loop; none goes on with the next pass.
std::optional<SiteResult> RunOnePart(const LoopSite& at, std::chrono::milliseconds interval) {
  SitePanels& panels = at.System.Panels();
  panels.SetStatus(at.Site, siWorking);
  if (at.Source == RunSource::SdCard) {
    SdRunAll(at.System, at.Site);
  } else {
    RunAll(at.System, at.Site);
  }
  if (DetectsInsertion(at)) PinscanCheck(at) = 1;
  const SiteResult run = at.RunBytes.RunResult;
  if (IsOverCurrent(run)) return OverCurrentEnd(at);
  if (CardRunRefused(run)) return AfterCardRunEnd(at, run, interval);
  if (run != SiteResultCode::Pass && run != SiteResultCode::Fail) {
    panels.SetStatus(at.Site, siWorking);  // the data did not reach the unit: look again
    return std::nullopt;
  }
  panels.SetBigStatus(at.Site, run == SiteResultCode::Pass ? siPass : siFail);
  const SiteResult after = InsertDetect(at.System, at.Site, false);
  if (IsOverCurrent(after)) return OverCurrentEnd(at);
  return TakeThenPut(at, interval);
}

}  // namespace

SiteResult InsertDetect(SiteSystem& system, int site, bool log) {
  if (!IsSiteIndex(site)) return SiteResultCode::Fail;
  const LoopSite at = SiteOf(system, site);
  if (PinscanCheck(at) == 0) return SiteResultCode::Pass;
  ZvUsb& link = system.Link(site);
  const CProject& project = system.Project().Project();
  const SiteProcessPlan& plan = at.Plan;
  CommandParts parts;
  parts.Command = link.MakeCommandPacket(FrameType::Command, kDetectB1, 0, kDetectCodeCount,
                                         plan.SocketCount, 0, 0, 0);
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
  const ExchangeOutcome outcome =
      StandardExchange(system.Links(), system.Log(), site, ExchangeTexts::FromStem("Insert Detect"),
                       std::move(parts), options);
  // Only a reply that arrived says anything about the sockets.
  if (!outcome.Sent || outcome.Answer == SiteResultCode::LinkClosed) return outcome.Result;
  if (outcome.Answer == SiteResultCode::Pass || outcome.Answer == SiteResultCode::Fail) {
    const StepReportSite report{system.Log(),          site,       at.Driver, at.Plan,
                                PinscanCheck(at) != 0, at.RunBytes};
    ReportInsertDetect(report, outcome.ReplyBytes, log);
  }
  MarkSockets(at.Plan, StepReply(outcome.ReplyBytes));
  ReportUnitMessage(system.Log(), site, outcome.ReplyBytes);
  return outcome.Result;
}

bool SocketStateReached(SiteSystem& system, int site, bool ignore) {
  const LoopSite at = SiteOf(system, site);
  if (at.RunBytes.AutoRunActive == 0) return true;
  at.Plan.SocketCode[0] = kPlanEnabled;
  if (ignore) {
    if (DetectsInsertion(at)) PinscanCheck(at) = 0;
    return true;
  }
  return DetectionReachesState(InsertDetect(system, site, false), at.RunBytes);
}

SiteResult AutoRunLoop(SiteSystem& system, int site, RunSource source) {
  if (!IsSiteIndex(site)) return SiteResultCode::Fail;
  const LoopSite at = SiteOf(system, site, source);
  RunControls& controls = system.Controls();
  if (DetectsInsertion(at)) PinscanCheck(at) = 1;
  at.RunBytes.AutoRunActive = 1;
  const std::chrono::milliseconds interval(std::max(controls.AutoRunInterval.load(), 0));
  for (;;) {
    bool ignore = controls.IgnoreInsertionDetection;
    if (!controls.StopAllEnabled) return at.RunBytes.RunResult;
    const SiteResult found = InsertDetect(system, site, false);
    system.Panels().SetBigStatus(site, found == SiteResultCode::Pass ? siPass : siFail);
    if (IsOverCurrent(found)) return OverCurrentEnd(at);
    if (found == SiteResultCode::Fail) {
      system.Panels().SetStatus(site, siPut);
      if (auto end = LoopEndAfterWait(at, WaitForSocketState(system, site, ignore, interval))) {
        return *end;
      }
      if (!ignore) continue;
      PinscanCheck(at) = 0;
      if (at.RunBytes.InsertState == ReplyVerdict::Empty) {
        // Every socket is empty: detect again after the poll interval, not at once.
        if (DetectsInsertion(at)) PinscanCheck(at) = 1;
        PollPause(system, site, interval);
        continue;
      }
    }
    if (auto end = RunOnePart(at, interval)) return *end;
  }
}

void RegisterAutoRunOperations(OpcodeTable& table) {
  table.Register(Opcodes::AutoRunLoop, [](SiteSystem& system, int site, const OperationTexts&) {
    return AutoRunLoop(system, site);
  });
}
