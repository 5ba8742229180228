#include "site/ops/maintenance_ops.h"

#include <chrono>
#include <optional>
#include <utility>

#include "link/standard_exchange.h"
#include "site/opcode_table.h"
#include "site/ops/run_all_ops.h"
#include "site/ops/unit_info_ops.h"
#include "site/ops/unit_preparation_ops.h"
#include "site/site_system.h"

namespace {

constexpr std::uint8_t kIoModeB1 = 1;
constexpr std::uint8_t kIoModeCommandByte = 1;
constexpr std::uint8_t kNoCodes = 0;
constexpr std::uint8_t kBurnInB1 = 1;
constexpr std::uint8_t kOneCode = 1;
constexpr int kPlanSite = 0;  // the sockets and areas of site 0 go to every unit
constexpr std::chrono::milliseconds kKeyPollInterval{500};

const SiteProcessPlan& PlanOfFirstSite(SiteSystem& system) {
  return system.Project().Records().ProcessPlan[SiteSlot(kPlanSite)];
}

ExchangeTexts StartKeyTexts() {
  ExchangeTexts texts;
  texts.AckError = " - Detect Start Key Error!";
  texts.CommandError = " - Detect Start Key Command Error!";
  return texts;
}

bool KeyRunGoesOn(SiteSystem& system, int site) {
  return system.Controls().KeyRunStopEnabled && system.Link(site).IsOpened();
}

// One press: the run, then its result in the large field.
void RunOnKeyPress(SiteSystem& system, int site) {
  system.Panels().SetStatus(site, siWorking);
  RunAll(system, site);
  const bool passed = system.RunBytes(site).RunResult == SiteResultCode::Pass;
  system.Panels().SetBigStatus(site, passed ? siPass : siFail);
}

}  // namespace

SiteResult SetIoMode(SiteSystem& system, int site) {
  if (!IsSiteIndex(site)) return SiteResultCode::Fail;
  ZvUsb& link = system.Link(site);
  CommandParts parts;
  parts.Command = link.MakeCommandPacket(FrameType::IoMode, kIoModeB1, 0, kNoCodes,
                                         kIoModeCommandByte, 0, 0, 0);
  if (!link.SendCommand(std::move(parts))) {
    LogSite(system.Log(), site, " - Set IO Mode Fail!", LogColour::Red);
    return SiteResultCode::Fail;
  }
  LogSite(system.Log(), site, " - Set IO Mode Pass", LogColour::Green);
  return SiteResultCode::Pass;
}

SiteResult LoadSelfTestImage(SiteSystem& system, int site) {
  return SendFpgaImage(system, site, SelfTestImagePath(system), false);
}

SiteResult BurnInTest(SiteSystem& system, int site) {
  if (!IsSiteIndex(site)) return SiteResultCode::Fail;
  ZvUsb& link = system.Link(site);
  if (link.IsBusy()) {
    LogSite(system.Log(), site, " - USB Busy!", LogColour::Red);
    return SiteResultCode::Fail;
  }
  const SiteProcessPlan& plan = PlanOfFirstSite(system);
  const auto& socket = plan.SocketCode;
  const auto& area = plan.AreaCode;
  CommandParts parts;
  parts.Command =
      link.MakeCommandPacket(FrameType::Command, kBurnInB1, 0, kOneCode, plan.SocketCount, 0, 0, 0);
  parts.Code = link.MakeCodeWord(CommandCode::BurnInTest);
  parts.ByteQuad = MakeByteQuadPacket(socket[0], socket[1], socket[2], socket[3]);
  const bool preBlank = system.Project().Project().PreBlankCheck;
  parts.ByteQuadFlag = MakeByteQuadFlagPacket(area[0], area[1], area[2], area[3], preBlank ? 1 : 0);
  if (link.SendCommand(std::move(parts))) {
    LogSite(system.Log(), site, " - Burn In Test...", LogColour::Start);
  } else {
    LogSite(system.Log(), site, " - Burn In Test Command Error!", LogColour::Red);
  }
  link.ClearBusy();
  return SiteResultCode::Fail;  // the burn-in reports nothing: the site is left failed
}

SiteResult DetectStartKey(SiteSystem& system, int site) {
  if (!IsSiteIndex(site)) return SiteResultCode::Fail;
  ZvUsb& link = system.Link(site);
  CommandParts parts;
  parts.Command = link.MakeOrdinaryCommandPacket(PlanOfFirstSite(system).SocketCount);
  parts.Code = link.MakeCodeWord(CommandCode::DetectStartKey);
  ExchangeOptions options;
  options.LogStart = false;
  options.PausePolls = false;
  options.Presence = PresenceCheck::None;
  options.AnswerLine = [](std::uint8_t) {
    return std::optional<ExchangeOptions::Line>(ExchangeOptions::Line{"", LogColour::Black});
  };
  return StandardExchange(system.Links(), system.Log(), site, StartKeyTexts(), std::move(parts),
                          options)
      .Result;
}

SiteResult KeyRun(SiteSystem& system, int site) {
  if (!IsSiteIndex(site)) return SiteResultCode::Fail;
  for (;;) {
    system.LoopPause(kKeyPollInterval, [&system, site] { return KeyRunGoesOn(system, site); });
    if (system.Panels().Status(site) != siPushKey) system.Panels().SetStatus(site, siPushKey);
    if (!system.Controls().KeyRunStopEnabled) return system.RunBytes(site).RunResult;
    // A unit that left would be asked for its key forever, one red line after the other.
    if (!system.Link(site).IsOpened()) return SiteResultCode::Fail;
    if (DetectStartKey(system, site) == SiteResultCode::Pass) RunOnKeyPress(system, site);
  }
}

void RegisterMaintenanceOperations(OpcodeTable& table) {
  table.Register(Opcodes::IoMode, [](SiteSystem& system, int site, const OperationTexts&) {
    return SetIoMode(system, site);
  });
  table.Register(Opcodes::SelfTestFpgaLoad,
                 [](SiteSystem& system, int site, const OperationTexts&) {
                   return LoadSelfTestImage(system, site);
                 });
  table.Register(Opcodes::BurnInTest, [](SiteSystem& system, int site, const OperationTexts&) {
    return BurnInTest(system, site);
  });
  table.Register(Opcodes::KeyRun, [](SiteSystem& system, int site, const OperationTexts&) {
    return KeyRun(system, site);
  });
}
