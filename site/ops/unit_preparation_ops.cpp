#include "site/ops/unit_preparation_ops.h"

#include <filesystem>
#include <span>
#include <utility>
#include <vector>

#include "link/bulk_exchange.h"
#include "link/standard_exchange.h"
#include "project/database_path.h"
#include "project/hardware_ini.h"
#include "site/opcode_table.h"
#include "site/site_system.h"
#include "support/checksums.h"
#include "support/file_helpers.h"
#include "support/ini_file.h"

namespace {

constexpr std::uint8_t kPreparationCommandByte = 1;

void LogFailure(SiteSystem& system, int site, const char* tail) {
  LogSite(system.Log(), site, tail, LogColour::Red);
}

bool Passed(SiteResult result) {
  return result == SiteResultCode::Pass;
}

SiteResult PreparationCommand(SiteSystem& system, int site, const char* stem, std::uint16_t code) {
  return StandardCommand(system.Links(), system.Log(), site, stem, code, kPreparationCommandByte)
      .Result;
}

// A 0xFF-preset buffer of `size` bytes holding the start of the file; none when the file
// cannot be read. `fileBytes` is how many bytes came from the file (at most `size`).
std::optional<std::vector<std::uint8_t>> LoadImage(const std::string& path, std::uint32_t size,
                                                   std::uint32_t& fileBytes) {
  std::vector<std::uint8_t> image(size, kFill);
  const std::optional<std::size_t> read = ReadFileHead(path, image);
  if (!read) return std::nullopt;
  fileBytes = static_cast<std::uint32_t>(*read);
  return image;
}

// Each worker reads the file into a record of its own: eight sites prepare at once, and the
// image is all the unit needs.
std::optional<HardwareIniImage> LoadHardwareImage(const std::string& path) {
  std::error_code error;
  IniFile ini;
  if (!std::filesystem::is_regular_file(path, error) || !ini.Load(path)) return std::nullopt;
  HardwareIniImage image;
  HardwareValues values;
  ReadHardwareIni(ini, values, image);
  return image;
}

SiteResult SendSettingsImage(SiteSystem& system, int site, const SlotImage& image) {
  const std::span<const std::uint8_t> bytes(image.Data(), image.Size());
  return SendBuffer(system.Links(), system.Log(), site, bytes,
                    static_cast<std::uint32_t>(image.Size()), UnitAddress::Settings);
}

// "Check CRC32 of Driver": the CRC as argument 2, the length as p4.
SiteResult CheckDriverCrc(SiteSystem& system, int site, std::uint32_t crc, std::uint32_t length) {
  ZvUsb& link = system.Link(site);
  CommandParts parts;
  parts.Command = link.MakeOrdinaryCommandPacket(kPreparationCommandByte, 0, crc);
  parts.Parameter = link.MakeParameterPacket(0, 0, 0, length, 0, 0, 0);
  parts.Code = link.MakeCodeWord(CommandCode::CheckDriverCrc);
  return StandardExchange(system.Links(), system.Log(), site,
                          ExchangeTexts::FromStem("Check CRC32 of Driver"), std::move(parts))
      .Result;
}

std::string DatabasePath(SiteSystem& system, const char* folder, const std::string& name) {
  return DatabaseFile(system.Paths().BaseDir + folder, name);
}

}  // namespace

SiteResult CheckUsbPower(SiteSystem& system, int site) {
  if (!IsSiteIndex(site)) return SiteResultCode::Fail;
  return PreparationCommand(system, site, "Check USB Power", CommandCode::CheckUsbPower);
}

SiteResult SendHardwareSettings(SiteSystem& system, int site) {
  if (!IsSiteIndex(site)) return SiteResultCode::Fail;
  const std::optional<HardwareIniImage> image =
      LoadHardwareImage(system.Paths().BaseDir + kHardwareIniPath);
  if (!image) {
    LogFailure(system, site, " - Hardware INI File Does Not Exist!");
    return SiteResultCode::Fail;
  }
  if (!Passed(SendSettingsImage(system, site, *image))) {
    LogFailure(system, site, " - Hardware INI Send Fail!");
    return SiteResultCode::Fail;
  }
  if (!Passed(PreparationCommand(system, site, "Hardware Init Setting",
                                 CommandCode::HardwareInitSetting))) {
    LogFailure(system, site, " - Hardware Init Setting Fail!");
    return SiteResultCode::Fail;
  }
  return SiteResultCode::Pass;
}

SiteResult SendDriverSettings(SiteSystem& system, int site) {
  if (!IsSiteIndex(site)) return SiteResultCode::Fail;
  const ProjectRecords& records = system.Project().Records();
  if (!Passed(SendSettingsImage(system, site, records.DriverImage))) {
    LogFailure(system, site, " - Driver INI Send Fail!");
    return SiteResultCode::Fail;
  }
  if (!Passed(
          PreparationCommand(system, site, "Driver INI Setting", CommandCode::DriverIniSetting))) {
    LogFailure(system, site, " - Driver INI Setting Fail!");
    return SiteResultCode::Fail;
  }
  const ZV_Driver_INI& driver = records.DriverIni[static_cast<std::size_t>(site)];
  if (!Passed(SendDriverImage(system, site, DatabasePath(system, kDriverFolder, driver.UserWav)))) {
    return SiteResultCode::Fail;
  }
  return SendFpgaImage(system, site, DatabasePath(system, kFpgaFolder, driver.FPGAFile), true);
}

SiteResult SendDriverImage(SiteSystem& system, int site, const std::string& path) {
  if (!IsSiteIndex(site)) return SiteResultCode::Fail;
  // The CRC covers only the bytes that were read: a file longer than the image is cut at the
  // limit rather than summed past what the unit received.
  std::uint32_t fileBytes = 0;
  const auto image = LoadImage(path, kDriverImageLimit, fileBytes);
  if (!image) {
    LogFailure(system, site, " - Driver File Does Not Exist!");
    return SiteResultCode::Fail;
  }
  // The transfer's own result is not asked: the unit's CRC verdict below decides.
  SendBuffer(system.Links(), system.Log(), site, *image, kDriverImageLimit,
             UnitAddress::DriverImage);
  const std::uint32_t crc = Crc32(image->data(), fileBytes);
  return Passed(CheckDriverCrc(system, site, crc, fileBytes)) ? SiteResultCode::Pass
                                                              : SiteResultCode::Fail;
}

SiteResult SendFpgaImage(SiteSystem& system, int site, const std::string& path, bool init) {
  if (!IsSiteIndex(site)) return SiteResultCode::Fail;
  std::uint32_t fileBytes = 0;
  const auto image = LoadImage(path, kFpgaImageLimit, fileBytes);
  if (!image) {
    LogFailure(system, site, " - FPGA File Does Not Exist!");
    return SiteResultCode::Fail;
  }
  if (!Passed(SendBuffer(system.Links(), system.Log(), site, *image, kFpgaImageLimit,
                         UnitAddress::FpgaImage))) {
    return SiteResultCode::Fail;
  }
  if (init && !Passed(PreparationCommand(system, site, "FPGA Init", CommandCode::FpgaInit))) {
    return SiteResultCode::Fail;
  }
  return SiteResultCode::Pass;
}

void RegisterUnitPreparation(OpcodeTable& table) {
  table.Register(Opcodes::CheckUsbPower, [](SiteSystem& system, int site, const OperationTexts&) {
    return CheckUsbPower(system, site);
  });
  table.Register(Opcodes::HardwareSettings,
                 [](SiteSystem& system, int site, const OperationTexts&) {
                   return SendHardwareSettings(system, site);
                 });
  table.Register(Opcodes::DriverSettings, [](SiteSystem& system, int site, const OperationTexts&) {
    return SendDriverSettings(system, site);
  });
}
