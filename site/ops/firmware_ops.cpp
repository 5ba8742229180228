#include "site/ops/firmware_ops.h"

#include <algorithm>
#include <filesystem>
#include <utility>

#include "link/bulk_exchange.h"
#include "link/standard_exchange.h"
#include "link/zv_usb.h"
#include "site/firmware_files.h"
#include "site/firmware_image.h"
#include "site/site_context.h"
#include "site/system_startup.h"
#include "site/usb_cmd_data.h"
#include "support/ini_file.h"

namespace {

constexpr std::uint8_t kPlainCommandByte = 0;
constexpr std::size_t kVersionReplyAt = 12;  // reply bytes 12..15: version bytes A..D
constexpr std::uint32_t kFirmwareLoadAddress = UnitAddress::Settings;

// The unit's own answers of the update handle besides pass and fail.
constexpr std::uint8_t kImageCrcFail = 0xA2;
constexpr std::uint8_t kMasterStoreFail = 0xA3;
constexpr std::uint8_t kSlaveStoreFail = 0xA4;

constexpr char kInfoSection[] = "BIOSInfo";
constexpr char kOldestSoftwareKey[] = "BIOSSupportOldMultipleUIVer";
constexpr char kNoOldestSoftware[] = "0";
// Units older than this may not suit the software.
constexpr char kOldestSuitedFirmware[] = "1.2";

constexpr char kInfoMissing[] =
    " - Info Files Not Found! Please Check Your DataBase or Download DataBase Again!";
constexpr char kImageOpenFail[] =
    " - Open BIOS Files Fail! Please Check Your DataBase or Download DataBase Again!";
constexpr char kUpdateFail[] =
    " - Update BIOS Fail! Please Check Your DataBase or Download DataBase Again!";
constexpr char kNoUpdate[] = " - No Updates are Required";
constexpr char kSoftwareTooOld[] =
    " - The Software's Version is Too Old! Please Remember to Update The Software.";
constexpr char kFirmwareMayNotSuit[] =
    " - BIOS May Not be Supported The Software! Please Remember to Update The BIOS.";

// Trailing blanks and control characters do not belong in the shown line.
std::string TrimmedForLine(std::string text) {
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.pop_back();
  return text;
}

VersionBytes VersionBytesOf(const Reply& reply) {
  VersionBytes bytes{};
  std::copy_n(reply.begin() + kVersionReplyAt, bytes.size(), bytes.begin());
  return bytes;
}

std::string OldestSoftwareOf(const std::string& infoPath) {
  IniFile info;
  if (!info.Load(infoPath)) return kNoOldestSoftware;
  return info.ReadString(kInfoSection, kOldestSoftwareKey, kNoOldestSoftware);
}

bool IsFile(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

// Equal versions: the warnings where software, database and unit do not suit each other.
void WarnAboutFit(SiteContext& ctx, const std::string& unitVersion,
                  const std::string& softwareVersion, const std::string& oldestSoftware) {
  LogSite(ctx.Log(), ctx.Site(), kNoUpdate, LogColour::Orange);
  if (SoftwareVersionOlder(softwareVersion, oldestSoftware)) {
    LogSite(ctx.Log(), ctx.Site(), kSoftwareTooOld, LogColour::Orange);
  } else if (FirmwareVersionOlder(unitVersion, kOldestSuitedFirmware)) {
    LogSite(ctx.Log(), ctx.Site(), kFirmwareMayNotSuit, LogColour::Orange);
  }
}

SiteResult UpdateFirmwareSteps(SiteContext& ctx, const std::string& softwareVersion) {
  LogSink& log = ctx.Log();
  const std::string infoPath = FirmwareInfoPath(ctx.Paths());
  if (!IsFile(infoPath)) {
    LogSite(log, ctx.Site(), kInfoMissing, LogColour::Red);
    return SiteResultCode::Fail;
  }
  const std::string oldestSoftware = OldestSoftwareOf(infoPath);
  const std::string imagePath = FirmwareImagePath(ctx.Paths());
  const auto image = ReadFirmwareImage(imagePath);
  if (!image) {
    LogSite(log, ctx.Site(), kImageOpenFail, LogColour::Red);
    return SiteResultCode::Fail;
  }
  const std::string databaseVersion = VersionText(DecodeFirmwareTrailer(*image).Version);
  if (BiosVersionGet(ctx) != SiteResultCode::Pass) return SiteResultCode::Fail;
  const std::string unitVersion = ctx.UnitReport().BiosVersion;
  if (databaseVersion == unitVersion) {
    WarnAboutFit(ctx, unitVersion, softwareVersion, oldestSoftware);
    return SiteResultCode::Pass;
  }
  LogSite(log, ctx.Site(),
          " - The DataBase's BIOS Version = " + databaseVersion +
              ", The Machine's BIOS Version = " + unitVersion,
          LogColour::Black);
  if (LoadFirmwareImage(ctx, imagePath) == SiteResultCode::Pass) {
    return SiteResultCode::Pass;
  }
  LogSite(log, ctx.Site(), kUpdateFail, LogColour::Red);
  return SiteResultCode::Fail;
}

}  // namespace

SiteResult BiosVersionGet(SiteContext& ctx, const OperationTexts&) {
  LogSink& log = ctx.Log();
  const ExchangeTexts texts = ExchangeTexts::FromStem("BIOS Version Get");
  ExchangeOptions options;
  options.OnPass = [&](const Reply& reply) -> SiteResult {
    const VersionBytes bytes = VersionBytesOf(reply);
    if (!HasValidVersion(bytes)) {
      LogSite(log, ctx.Site(), " - BIOS Version Format Error!", LogColour::Red);
      LogSite(log, ctx.Site(), texts.Fail, LogColour::Red);
      return SiteResultCode::Fail;
    }
    ctx.UnitReport().BiosVersion = VersionText(bytes);
    LogSite(log, ctx.Site(), " - BIOS Version = " + TrimmedForLine(VersionText(bytes)),
            LogColour::Black);
    return SiteResultCode::Pass;
  };
  return StandardCommand(ctx.Link(), log, "BIOS Version Get", CommandCode::BiosVersionGet,
                         kPlainCommandByte, {}, options)
      .Result;
}

SiteResult ResetUnit(SiteContext& ctx, const OperationTexts&) {
  ZvUsb& link = ctx.Link();
  if (link.IsBusy()) {
    LogSite(ctx.Log(), ctx.Site(), " - USB Busy!", LogColour::Red);
    return SiteResultCode::Fail;
  }
  LogSite(ctx.Log(), ctx.Site(), std::string(" - ") + kApplicationTitle + " Reset",
          LogColour::Start);
  CommandParts parts;
  parts.Command = link.MakeOrdinaryCommandPacket(kPlainCommandByte);
  parts.Code = link.MakeCodeWord(CommandCode::Reset);
  // The unit restarts at once and sends no result; whether the send passed tells nothing.
  (void)link.SendCommand(std::move(parts));
  return FinishOnLink(ctx.Link(), SiteResultCode::Pass);
}

SiteResult UpdateMasterBiosHandle(SiteContext& ctx) {
  ExchangeTexts texts = ExchangeTexts::FromStem("Update Master BIOS Handle");
  texts.AckError = " - Update BIOS Handle Ack Error!";
  texts.CommandError = " - Update BIOS Handle Command Error!";
  ExchangeOptions options;
  options.OwnAnswers = {kImageCrcFail, kMasterStoreFail, kSlaveStoreFail};
  options.AnswerLine = [](std::uint8_t answer) -> std::optional<ExchangeOptions::Line> {
    switch (answer) {
      case kImageCrcFail:
        return ExchangeOptions::Line{" - Check CRC32 For BIOS On SDRAM Fail!", LogColour::Red};
      case kMasterStoreFail:
        return ExchangeOptions::Line{" - Master BIOS Update Fail!", LogColour::Red};
      case kSlaveStoreFail:
        return ExchangeOptions::Line{" - Slave BIOS Update Fail!", LogColour::Red};
      default:
        return std::nullopt;
    }
  };
  ZvUsb& link = ctx.Link();
  CommandParts parts;
  parts.Command = link.MakeOrdinaryCommandPacket(kPlainCommandByte);
  parts.Code = link.MakeCodeWord(CommandCode::UpdateMasterBios);
  return StandardExchange(ctx.Link(), ctx.Log(), texts, std::move(parts), options).Result;
}

SiteResult LoadFirmwareImage(SiteContext& ctx, const std::string& path) {
  LogSink& log = ctx.Log();
  LogSite(log, ctx.Site(), " - Update Master BIOS...", LogColour::Start);
  const auto image = ReadFirmwareImage(path);
  if (!image) return SiteResultCode::Fail;
  const FirmwareTrailer trailer = DecodeFirmwareTrailer(*image);
  S_GetUSBCmdData& data = ctx.UnitReport();
  data.FileCrc = trailer.Crc;
  data.FileLength = trailer.Covered;
  const ImageCheck check = CheckFirmwareImage(*image, trailer);
  if (check == ImageCheck::FormatError) {
    LogSite(log, ctx.Site(), " - Updated File Format Error!", LogColour::Red);
    return SiteResultCode::Fail;
  }
  data.FileBiosVersion = VersionText(trailer.Version);
  if (check == ImageCheck::CrcError) {
    LogSite(log, ctx.Site(), " - Updated BIOS File CRC32 Error!", LogColour::Red);
    return SiteResultCode::Fail;
  }
  if (SendBuffer(ctx.Link(), log, *image, kFirmwareImageSize, kFirmwareLoadAddress) !=
      SiteResultCode::Pass) {
    return SiteResultCode::Fail;
  }
  if (UpdateMasterBiosHandle(ctx) != SiteResultCode::Pass) return SiteResultCode::Fail;
  ResetUnit(ctx);
  return SiteResultCode::Pass;
}

SiteResult UpdateFirmware(SiteContext& ctx, const OperationTexts&) {
  return UpdateFirmwareFor(ctx, GetVersionText());
}

SiteResult UpdateFirmwareFor(SiteContext& ctx, const std::string& softwareVersion) {
  const SiteResult result = UpdateFirmwareSteps(ctx, softwareVersion);
  ctx.UnitReport().FirmwareUpdateResult = result;
  return result;
}
