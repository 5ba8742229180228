#include "site/ops/maintenance_ops.h"

#include <chrono>
#include <optional>
#include <utility>

#include "link/standard_exchange.h"
#include "link/zv_usb.h"
#include "site/loaded_project.h"
#include "site/ops/run_all_ops.h"
#include "site/ops/unit_info_ops.h"
#include "site/ops/unit_preparation_ops.h"
#include "site/run_controls.h"
#include "site/site_context.h"
#include "site/site_panels.h"
#include "site/site_run_bytes.h"

namespace {

constexpr std::uint8_t kIoModeCommandByte = 1;
constexpr std::uint8_t kNoCodes = 0;
constexpr std::uint8_t kOneCode = 1;
constexpr int kPlanSite = 0;  // the sockets and areas of site 0 go to every unit
constexpr std::chrono::milliseconds kKeyPollInterval{500};

const SiteProcessPlan& PlanOfFirstSite(SiteContext& ctx) {
  return ctx.Project().Records().ProcessPlan[SiteSlot(kPlanSite)];
}

ExchangeTexts StartKeyTexts() {
  ExchangeTexts texts;
  texts.AckError = " - Detect Start Key Error!";
  texts.CommandError = " - Detect Start Key Command Error!";
  return texts;
}

bool KeyRunGoesOn(SiteContext& ctx) {
  return ctx.Controls().KeyRunStopEnabled && ctx.Link().IsOpened();
}

// One press: the run, then its result in the large field.
void RunOnKeyPress(SiteContext& ctx) {
  ctx.Panels().SetStatus(ctx.Site(), siWorking);
  RunAll(ctx);
  const bool passed = ctx.RunBytes().RunResult == SiteResultCode::Pass;
  ctx.Panels().SetBigStatus(ctx.Site(), passed ? siPass : siFail);
}

}  // namespace

SiteResult SetIoMode(SiteContext& ctx, const OperationTexts&) {
  ZvUsb& link = ctx.Link();
  CommandParts parts;
  parts.Command = link.MakeCommandPacket(
      {.Frame = FrameType::IoMode, .CodeCount = kNoCodes, .Command = kIoModeCommandByte});
  if (!link.SendCommand(std::move(parts))) {
    LogSite(ctx.Log(), ctx.Site(), " - Set IO Mode Fail!", LogColour::Red);
    return SiteResultCode::Fail;
  }
  LogSite(ctx.Log(), ctx.Site(), " - Set IO Mode Pass", LogColour::Green);
  return SiteResultCode::Pass;
}

SiteResult LoadSelfTestImage(SiteContext& ctx, const OperationTexts&) {
  return SendFpgaImage(ctx, SelfTestImagePath(ctx.Paths()), false);
}

SiteResult BurnInTest(SiteContext& ctx, const OperationTexts&) {
  ZvUsb& link = ctx.Link();
  if (link.IsBusy()) {
    LogSite(ctx.Log(), ctx.Site(), " - USB Busy!", LogColour::Red);
    return SiteResultCode::Fail;
  }
  const SiteProcessPlan& plan = PlanOfFirstSite(ctx);
  const auto& socket = plan.SocketCode;
  const auto& area = plan.AreaCode;
  CommandParts parts;
  parts.Command = link.MakeCommandPacket({.CodeCount = kOneCode, .Command = plan.SocketCount});
  parts.Code = link.MakeCodeWord(CommandCode::BurnInTest);
  parts.ByteQuad = MakeByteQuadPacket(socket[0], socket[1], socket[2], socket[3]);
  const bool preBlank = ctx.Project().Project().PreBlankCheck;
  parts.ByteQuadFlag = MakeByteQuadFlagPacket(area[0], area[1], area[2], area[3], preBlank ? 1 : 0);
  if (link.SendCommand(std::move(parts))) {
    LogSite(ctx.Log(), ctx.Site(), " - Burn In Test...", LogColour::Start);
  } else {
    LogSite(ctx.Log(), ctx.Site(), " - Burn In Test Command Error!", LogColour::Red);
  }
  link.ClearBusy();
  return SiteResultCode::Fail;  // the burn-in reports nothing: the site is left failed
}

SiteResult DetectStartKey(SiteContext& ctx) {
  ZvUsb& link = ctx.Link();
  CommandParts parts;
  parts.Command = link.MakeOrdinaryCommandPacket(PlanOfFirstSite(ctx).SocketCount);
  parts.Code = link.MakeCodeWord(CommandCode::DetectStartKey);
  ExchangeOptions options;
  options.LogStart = false;
  options.PausePolls = false;
  options.Presence = PresenceCheck::None;
  options.AnswerLine = [](std::uint8_t) {
    return std::optional<ExchangeOptions::Line>(ExchangeOptions::Line{"", LogColour::Black});
  };
  return StandardExchange(ctx.Link(), ctx.Log(), StartKeyTexts(), std::move(parts), options).Result;
}

SiteResult KeyRun(SiteContext& ctx, const OperationTexts&) {
  for (;;) {
    ctx.LoopPause(kKeyPollInterval, [&ctx] { return KeyRunGoesOn(ctx); });
    if (ctx.Panels().Status(ctx.Site()) != siPushKey) ctx.Panels().SetStatus(ctx.Site(), siPushKey);
    if (!ctx.Controls().KeyRunStopEnabled) return ctx.RunBytes().RunResult;
    // A unit that left would be asked for its key forever, one red line after the other.
    if (!ctx.Link().IsOpened()) return SiteResultCode::Fail;
    if (DetectStartKey(ctx) == SiteResultCode::Pass) RunOnKeyPress(ctx);
  }
}
