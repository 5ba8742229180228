#include "site/ops/unit_info_ops.h"

#include <filesystem>
#include <optional>
#include <utility>
#include <vector>

#include "link/bulk_exchange.h"
#include "link/standard_exchange.h"
#include "site/opcode_table.h"
#include "site/ops/unit_info_blocks.h"
#include "site/ops/unit_preparation_ops.h"
#include "site/site_system.h"
#include "support/file_helpers.h"

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

SiteResult CheckBiosNumber(SiteSystem& system, int site, const Reply& reply) {
  const BiosNumberReply number = DecodeBiosNumber(reply);
  system.CmdData(site).BiosNumber = number.Number;
  if (!number.Valid) {
    LogSite(system.Log(), site, " - Invalid BIOS Number!", LogColour::Red);
    return SiteResultCode::Fail;
  }
  LogSite(system.Log(), site, " - BIOS Number = " + std::to_string(number.Number),
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
SiteResult SendSelfTestImage(SiteSystem& system, int site) {
  std::vector<std::uint8_t> image(kFpgaImageLimit, kFill);
  if (!ReadFileHead(SelfTestImagePath(system), image)) return SiteResultCode::Fail;
  if (!Passed(SendBuffer(system.Links(), system.Log(), site, image, kFpgaImageLimit,
                         UnitAddress::FpgaImage))) {
    LogSite(system.Log(), site, " - FPGA File Send Fail!", LogColour::Red);
    return SiteResultCode::Fail;
  }
  return SiteResultCode::Pass;
}

SiteResult ReportSelfTestMessage(SiteSystem& system, int site, const SelfTestMessage& message) {
  const std::uint32_t colour = message.Passed ? LogColour::Green : LogColour::Red;
  LogSite(system.Log(), site, " - " + message.Text, colour);
  LogSite(system.Log(), site, " - Self Test Message End", LogColour::Black);
  if (message.Passed) {
    LogSite(system.Log(), site, " - SelfTest All Pass", LogColour::Green);
    return SiteResultCode::Pass;
  }
  LogSite(system.Log(), site, " - SelfTest Fail! Please Check Your Machine!", LogColour::Red);
  return SiteResultCode::Fail;
}

}  // namespace

std::string SelfTestImagePath(SiteSystem& system) {
  return (std::filesystem::path(system.Paths().TempDir) / kSelfTestImageName).string();
}

SiteResult PowerLedFlash(SiteSystem& system, int site) {
  if (!IsSiteIndex(site)) return SiteResultCode::Fail;
  return StandardCommand(system.Links(), system.Log(), site, "Power Led Flash",
                         CommandCode::PowerLedFlash, kPlainCommandByte)
      .Result;
}

SiteResult BiosNumberGet(SiteSystem& system, int site) {
  if (!IsSiteIndex(site)) return SiteResultCode::Fail;
  ExchangeOptions options;
  options.OnPass = [&system, site](const Reply& reply) {
    return CheckBiosNumber(system, site, reply);
  };
  return StandardCommand(system.Links(), system.Log(), site, "BIOS Number Get",
                         CommandCode::BiosNumberGet, kPlainCommandByte, {}, options)
      .Result;
}

SiteResult SnRead(SiteSystem& system, int site, std::uint32_t unitAddress, std::uint32_t offset,
                  std::uint32_t length) {
  if (!IsSiteIndex(site)) return SiteResultCode::Fail;
  CommandParts extra;
  extra.Parameter = system.Link(site).MakeParameterPacket(0, 0, unitAddress, 0, 0, offset, length);
  return StandardCommand(system.Links(), system.Log(), site, "SN Read", CommandCode::EepromRead,
                         kSerialCommandByte, std::move(extra))
      .Result;
}

SiteResult ReadSeriesNumber(SiteSystem& system, int site) {
  if (!Passed(SnRead(system, site, UnitAddress::Settings, 0, kSerialAreaLength))) {
    return SiteResultCode::Fail;
  }
  std::vector<std::uint8_t> block(kInfoReadBack, 0);
  if (!Passed(ReceiveBufferFixed(system.Links(), system.Log(), site, block, kInfoReadBack,
                                 UnitAddress::Settings))) {
    return SiteResultCode::Fail;
  }
  const std::optional<std::string> text = DecodeSerialText(block);
  if (!text) {
    LogSite(system.Log(), site, " - Invalid Series Number!", LogColour::Orange);
    return SiteResultCode::Fail;
  }
  LogSite(system.Log(), site, " - String of SN System = " + *text, LogColour::Black);
  system.CmdData(site).SerialText = *text;
  return SiteResultCode::Pass;
}

SiteResult SelfTestCommand(SiteSystem& system, int site) {
  if (!IsSiteIndex(site)) return SiteResultCode::Fail;
  CommandParts extra;
  extra.Parameter = system.Link(site).MakeParameterPacket(0, 0, UnitAddress::Settings, 0, 0, 0, 0);
  ExchangeOptions options;
  options.OwnAnswers = {kSelfTestFailed};
  options.AnswerLine = SelfTestAnswerLine;
  return StandardCommand(system.Links(), system.Log(), site, "Self Test", CommandCode::SelfTest,
                         kSelfTestCommandByte, std::move(extra), options)
      .Result;
}

SiteResult SelfTest(SiteSystem& system, int site) {
  if (!IsSiteIndex(site)) return SiteResultCode::Fail;
  if (!Passed(SendSelfTestImage(system, site))) return SiteResultCode::Fail;
  // A failed test (0xA2) still leaves its message: only an uninitialised FPGA stops here.
  if (SelfTestCommand(system, site) == SiteResultCode::Fail) return SiteResultCode::Fail;
  std::vector<std::uint8_t> block(kInfoReadBack, 0);
  if (!Passed(ReceiveBuffer(system.Links(), system.Log(), site, block, kInfoReadBack,
                            UnitAddress::Settings))) {
    return SiteResultCode::Fail;
  }
  const SelfTestMessage message = DecodeSelfTestMessage(block);
  system.CmdData(site).SelfTestText = message.Text;
  return ReportSelfTestMessage(system, site, message);
}

void RegisterUnitInformation(OpcodeTable& table) {
  table.Register(Opcodes::PowerLedFlash, [](SiteSystem& system, int site, const OperationTexts&) {
    return PowerLedFlash(system, site);
  });
  table.Register(Opcodes::BiosNumberGet, [](SiteSystem& system, int site, const OperationTexts&) {
    return BiosNumberGet(system, site);
  });
  table.Register(Opcodes::SerialNumberRead,
                 [](SiteSystem& system, int site, const OperationTexts&) {
                   return ReadSeriesNumber(system, site);
                 });
  table.Register(Opcodes::SelfTest, [](SiteSystem& system, int site, const OperationTexts&) {
    return SelfTest(system, site);
  });
}
