#include "site/ops/unit_info_ops.h"

#include <filesystem>
#include <optional>
#include <utility>
#include <vector>

#include "link/bulk_exchange.h"
#include "link/standard_exchange.h"
#include "link/zv_usb.h"
#include "site/ops/unit_info_blocks.h"
#include "site/ops/unit_preparation_ops.h"
#include "site/site_context.h"
#include "site/usb_cmd_data.h"
#include "support/file_helpers.h"
#include "support/system_paths.h"

namespace {

constexpr std::uint8_t kPlainCommandByte = 0;
constexpr std::uint8_t kSerialCommandByte = 1;
constexpr std::uint8_t kSelfTestCommandByte = 1;
constexpr std::uint8_t kSelfTestFailed = 0xA2;  // the unit's own answer: a test failed
constexpr std::uint32_t kSerialAreaLength = 0x4000;
constexpr std::uint32_t kInfoReadBack = kLargeChunk;  // the unit's message area, read whole

bool Passed(SiteResult result) {
  return result == SiteResultCode::Pass;
}

SiteResult CheckBiosNumber(SiteContext& ctx, const Reply& reply) {
  const BiosNumberReply number = DecodeBiosNumber(reply);
  ctx.UnitReport().BiosNumber = number.Number;
  if (!number.Valid) {
    LogSite(ctx.Log(), ctx.Site(), " - Invalid BIOS Number!", LogColour::Red);
    return SiteResultCode::Fail;
  }
  LogSite(ctx.Log(), ctx.Site(), " - BIOS Number = " + std::to_string(number.Number),
          LogColour::Black);
  return SiteResultCode::Pass;
}

std::optional<ExchangeOptions::Line> SelfTestAnswerLine(std::uint8_t answer) {
  switch (answer) {
    case SiteResultCode::Pass:
      return ExchangeOptions::Line{" - Self Test Finish", LogColour::Green};
    case SiteResultCode::Fail:
      return ExchangeOptions::Line{" - FPGA Init Fail!", LogColour::Red};
    default:
      return ExchangeOptions::Line{" - Self Test Fail!", LogColour::Red};
  }
}

// The self-test image, padded with 0xFF, to the FPGA area. A missing file fails silently:
// the caller checked that it extracted it.
SiteResult SendSelfTestImage(SiteContext& ctx) {
  std::vector<std::uint8_t> image(kFpgaImageLimit, kFill);
  if (!ReadFileHead(SelfTestImagePath(ctx.Paths()), image)) return SiteResultCode::Fail;
  if (!Passed(SendBuffer(ctx.Link(), ctx.Log(), image, kFpgaImageLimit, UnitAddress::FpgaImage))) {
    LogSite(ctx.Log(), ctx.Site(), " - FPGA File Send Fail!", LogColour::Red);
    return SiteResultCode::Fail;
  }
  return SiteResultCode::Pass;
}

SiteResult ReportSelfTestMessage(SiteContext& ctx, const SelfTestMessage& message) {
  const std::uint32_t colour = message.Passed ? LogColour::Green : LogColour::Red;
  LogSite(ctx.Log(), ctx.Site(), " - " + message.Text, colour);
  LogSite(ctx.Log(), ctx.Site(), " - Self Test Message End", LogColour::Black);
  if (message.Passed) {
    LogSite(ctx.Log(), ctx.Site(), " - SelfTest All Pass", LogColour::Green);
    return SiteResultCode::Pass;
  }
  LogSite(ctx.Log(), ctx.Site(), " - SelfTest Fail! Please Check Your Machine!", LogColour::Red);
  return SiteResultCode::Fail;
}

}  // namespace

std::string SelfTestImagePath(const SystemPaths& paths) {
  return (std::filesystem::path(paths.TempDir) / kSelfTestImageName).string();
}

SiteResult PowerLedFlash(SiteContext& ctx, const OperationTexts&) {
  return StandardCommand(ctx.Link(), ctx.Log(), "Power Led Flash", CommandCode::PowerLedFlash,
                         kPlainCommandByte)
      .Result;
}

SiteResult BiosNumberGet(SiteContext& ctx, const OperationTexts&) {
  ExchangeOptions options;
  options.OnPass = [&ctx](const Reply& reply) { return CheckBiosNumber(ctx, reply); };
  return StandardCommand(ctx.Link(), ctx.Log(), "BIOS Number Get", CommandCode::BiosNumberGet,
                         kPlainCommandByte, {}, options)
      .Result;
}

SiteResult SnRead(SiteContext& ctx, std::uint32_t unitAddress, std::uint32_t offset,
                  std::uint32_t length) {
  CommandParts extra;
  extra.Parameter =
      ctx.Link().MakeParameterPacket({.Address = unitAddress, .Offset = offset, .Length = length});
  return StandardCommand(ctx.Link(), ctx.Log(), "SN Read", CommandCode::EepromRead,
                         kSerialCommandByte, std::move(extra))
      .Result;
}

SiteResult ReadSeriesNumber(SiteContext& ctx, const OperationTexts&) {
  if (!Passed(SnRead(ctx, UnitAddress::Settings, 0, kSerialAreaLength))) {
    return SiteResultCode::Fail;
  }
  std::vector<std::uint8_t> block(kInfoReadBack, 0);
  if (!Passed(
          ReceiveBufferFixed(ctx.Link(), ctx.Log(), block, kInfoReadBack, UnitAddress::Settings))) {
    return SiteResultCode::Fail;
  }
  const std::optional<std::string> text = DecodeSerialText(block);
  if (!text) {
    LogSite(ctx.Log(), ctx.Site(), " - Invalid Series Number!", LogColour::Orange);
    return SiteResultCode::Fail;
  }
  LogSite(ctx.Log(), ctx.Site(), " - String of SN System = " + *text, LogColour::Black);
  ctx.UnitReport().SerialText = *text;
  return SiteResultCode::Pass;
}

SiteResult SelfTestCommand(SiteContext& ctx) {
  CommandParts extra;
  extra.Parameter = ctx.Link().MakeParameterPacket({.Address = UnitAddress::Settings});
  ExchangeOptions options;
  options.OwnAnswers = {kSelfTestFailed};
  options.AnswerLine = SelfTestAnswerLine;
  return StandardCommand(ctx.Link(), ctx.Log(), "Self Test", CommandCode::SelfTest,
                         kSelfTestCommandByte, std::move(extra), options)
      .Result;
}

SiteResult SelfTest(SiteContext& ctx, const OperationTexts&) {
  if (!Passed(SendSelfTestImage(ctx))) return SiteResultCode::Fail;
  // A failed test (0xA2) still leaves its message: only an uninitialised FPGA stops here.
  if (SelfTestCommand(ctx) == SiteResultCode::Fail) return SiteResultCode::Fail;
  std::vector<std::uint8_t> block(kInfoReadBack, 0);
  if (!Passed(ReceiveBuffer(ctx.Link(), ctx.Log(), block, kInfoReadBack, UnitAddress::Settings))) {
    return SiteResultCode::Fail;
  }
  const SelfTestMessage message = DecodeSelfTestMessage(block);
  ctx.UnitReport().SelfTestText = message.Text;
  return ReportSelfTestMessage(ctx, message);
}
