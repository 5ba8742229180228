#include "site/ops/firmware_ops.h"

#include <algorithm>
#include <filesystem>
#include <utility>

#include "link/bulk_exchange.h"
#include "link/link_table.h"
#include "link/standard_exchange.h"
#include "site/firmware_files.h"
#include "site/firmware_image.h"
#include "site/opcode_table.h"
#include "site/site_system.h"
#include "site/system_startup.h"
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
void WarnAboutFit(SiteSystem& system, int site, const std::string& unitVersion,
                  const std::string& softwareVersion, const std::string& oldestSoftware) {
  LogSite(system.Log(), site, kNoUpdate, LogColour::Orange);
  if (SoftwareVersionOlder(softwareVersion, oldestSoftware)) {
    LogSite(system.Log(), site, kSoftwareTooOld, LogColour::Orange);
  } else if (FirmwareVersionOlder(unitVersion, kOldestSuitedFirmware)) {
    LogSite(system.Log(), site, kFirmwareMayNotSuit, LogColour::Orange);
  }
}

SiteResult UpdateFirmwareSteps(SiteSystem& system, int site, const std::string& softwareVersion) {
  LogSink& log = system.Log();
  const std::string infoPath = FirmwareInfoPath(system);
  if (!IsFile(infoPath)) {
    LogSite(log, site, kInfoMissing, LogColour::Red);
    return SiteResultCode::Fail;
  }
  const std::string oldestSoftware = OldestSoftwareOf(infoPath);
  const std::string imagePath = FirmwareImagePath(system);
  const auto image = ReadFirmwareImage(imagePath);
  if (!image) {
    LogSite(log, site, kImageOpenFail, LogColour::Red);
    return SiteResultCode::Fail;
  }
  const std::string databaseVersion = VersionText(DecodeFirmwareTrailer(*image).Version);
  if (BiosVersionGet(system, site) != SiteResultCode::Pass) return SiteResultCode::Fail;
  const std::string unitVersion = system.CmdData(site).BiosVersion;
  if (databaseVersion == unitVersion) {
    WarnAboutFit(system, site, unitVersion, softwareVersion, oldestSoftware);
    return SiteResultCode::Pass;
  }
  LogSite(log, site,
          " - The DataBase's BIOS Version = " + databaseVersion +
              ", The Machine's BIOS Version = " + unitVersion,
          LogColour::Black);
  if (LoadFirmwareImage(system, site, imagePath) == SiteResultCode::Pass) {
    return SiteResultCode::Pass;
  }
  LogSite(log, site, kUpdateFail, LogColour::Red);
  return SiteResultCode::Fail;
}

}  // namespace

SiteResult BiosVersionGet(SiteSystem& system, int site) {
  LogSink& log = system.Log();
  const ExchangeTexts texts = ExchangeTexts::FromStem("BIOS Version Get");
  ExchangeOptions options;
  options.OnPass = [&](const Reply& reply) -> SiteResult {
    const VersionBytes bytes = VersionBytesOf(reply);
    if (!HasValidVersion(bytes)) {
      LogSite(log, site, " - BIOS Version Format Error!", LogColour::Red);
      LogSite(log, site, texts.Fail, LogColour::Red);
      return SiteResultCode::Fail;
    }
    system.CmdData(site).BiosVersion = VersionText(bytes);
    LogSite(log, site, " - BIOS Version = " + TrimmedForLine(VersionText(bytes)), LogColour::Black);
    return SiteResultCode::Pass;
  };
  return StandardCommand(system.Links(), log, site, "BIOS Version Get", CommandCode::BiosVersionGet,
                         kPlainCommandByte, {}, options)
      .Result;
}

SiteResult ResetUnit(SiteSystem& system, int site) {
  ZvUsb& link = system.Link(site);
  if (link.IsBusy()) {
    LogSite(system.Log(), site, " - USB Busy!", LogColour::Red);
    return SiteResultCode::Fail;
  }
  LogSite(system.Log(), site, std::string(" - ") + kApplicationTitle + " Reset", LogColour::Start);
  CommandParts parts;
  parts.Command = link.MakeOrdinaryCommandPacket(kPlainCommandByte);
  parts.Code = link.MakeCodeWord(CommandCode::Reset);
  // The unit restarts at once and sends no result; whether the send passed tells nothing.
  (void)link.SendCommand(std::move(parts));
  return FinishOnLink(system.Links(), site, SiteResultCode::Pass);
}

SiteResult UpdateMasterBiosHandle(SiteSystem& system, int site) {
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
  ZvUsb& link = system.Link(site);
  CommandParts parts;
  parts.Command = link.MakeOrdinaryCommandPacket(kPlainCommandByte);
  parts.Code = link.MakeCodeWord(CommandCode::UpdateMasterBios);
  return StandardExchange(system.Links(), system.Log(), site, texts, std::move(parts), options)
      .Result;
}

SiteResult LoadFirmwareImage(SiteSystem& system, int site, const std::string& path) {
  LogSink& log = system.Log();
  LogSite(log, site, " - Update Master BIOS...", LogColour::Start);
  const auto image = ReadFirmwareImage(path);
  if (!image) return SiteResultCode::Fail;
  const FirmwareTrailer trailer = DecodeFirmwareTrailer(*image);
  S_GetUSBCmdData& data = system.CmdData(site);
  data.FileCrc = trailer.Crc;
  data.FileLength = trailer.Covered;
  const ImageCheck check = CheckFirmwareImage(*image, trailer);
  if (check == ImageCheck::FormatError) {
    LogSite(log, site, " - Updated File Format Error!", LogColour::Red);
    return SiteResultCode::Fail;
  }
  data.FileBiosVersion = VersionText(trailer.Version);
  if (check == ImageCheck::CrcError) {
    LogSite(log, site, " - Updated BIOS File CRC32 Error!", LogColour::Red);
    return SiteResultCode::Fail;
  }
  if (SendBuffer(system.Links(), log, site, *image, kFirmwareImageSize, kFirmwareLoadAddress) !=
      SiteResultCode::Pass) {
    return SiteResultCode::Fail;
  }
  if (UpdateMasterBiosHandle(system, site) != SiteResultCode::Pass) return SiteResultCode::Fail;
  ResetUnit(system, site);
  return SiteResultCode::Pass;
}

SiteResult UpdateFirmware(SiteSystem& system, int site, const std::string& softwareVersion) {
  const SiteResult result = UpdateFirmwareSteps(system, site, softwareVersion);
  system.CmdData(site).FirmwareUpdateResult = result;
  return result;
}

void RegisterFirmwareOperations(OpcodeTable& table) {
  table.Register(Opcodes::BiosVersionGet, [](SiteSystem& system, int site, const OperationTexts&) {
    return BiosVersionGet(system, site);
  });
  table.Register(Opcodes::Reset, [](SiteSystem& system, int site, const OperationTexts&) {
    return ResetUnit(system, site);
  });
  table.Register(Opcodes::FirmwareUpdate, [](SiteSystem& system, int site, const OperationTexts&) {
    return UpdateFirmware(system, site, GetVersionText());
  });
}
