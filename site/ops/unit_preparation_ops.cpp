#include "site/ops/unit_preparation_ops.h"

#include <filesystem>
#include <span>
#include <utility>
#include <vector>

#include "link/bulk_exchange.h"
#include "link/standard_exchange.h"
#include "link/zv_usb.h"
#include "project/database_path.h"
#include "project/hardware_ini.h"
#include "site/loaded_project.h"
#include "site/site_context.h"
#include "support/checksums.h"
#include "support/file_helpers.h"
#include "support/ini_file.h"
#include "support/system_paths.h"

namespace {

constexpr std::uint8_t kPreparationCommandByte = 1;

void LogFailure(SiteContext& ctx, const char* tail) {
  LogSite(ctx.Log(), ctx.Site(), tail, LogColour::Red);
}

bool Passed(SiteResult result) {
  return result == SiteResultCode::Pass;
}

SiteResult PreparationCommand(SiteContext& ctx, const char* stem, std::uint16_t code) {
  return StandardCommand(ctx.Link(), ctx.Log(), stem, code, kPreparationCommandByte).Result;
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

SiteResult SendSettingsImage(SiteContext& ctx, const SlotImage& image) {
  const std::span<const std::uint8_t> bytes(image.Data(), image.Size());
  return SendBuffer(ctx.Link(), ctx.Log(), bytes, static_cast<std::uint32_t>(image.Size()),
                    UnitAddress::Settings);
}

// "Check CRC32 of Driver": the CRC as argument 2, the length as p4.
SiteResult CheckDriverCrc(SiteContext& ctx, std::uint32_t crc, std::uint32_t length) {
  ZvUsb& link = ctx.Link();
  CommandParts parts;
  parts.Command = link.MakeOrdinaryCommandPacket(kPreparationCommandByte, 0, crc);
  parts.Parameter = link.MakeParameterPacket({.MainLength = length});  // the file's
  parts.Code = link.MakeCodeWord(CommandCode::CheckDriverCrc);
  return StandardExchange(ctx.Link(), ctx.Log(), ExchangeTexts::FromStem("Check CRC32 of Driver"),
                          std::move(parts))
      .Result;
}

std::string DatabasePath(SiteContext& ctx, const char* folder, const std::string& name) {
  return DatabaseFile(ctx.Paths().BaseDir + folder, name);
}

}  // namespace

SiteResult CheckUsbPower(SiteContext& ctx, const OperationTexts&) {
  return PreparationCommand(ctx, "Check USB Power", CommandCode::CheckUsbPower);
}

SiteResult SendHardwareSettings(SiteContext& ctx, const OperationTexts&) {
  const std::optional<HardwareIniImage> image =
      LoadHardwareImage(ctx.Paths().BaseDir + kHardwareIniPath);
  if (!image) {
    LogFailure(ctx, " - Hardware INI File Does Not Exist!");
    return SiteResultCode::Fail;
  }
  if (!Passed(SendSettingsImage(ctx, *image))) {
    LogFailure(ctx, " - Hardware INI Send Fail!");
    return SiteResultCode::Fail;
  }
  if (!Passed(PreparationCommand(ctx, "Hardware Init Setting", CommandCode::HardwareInitSetting))) {
    LogFailure(ctx, " - Hardware Init Setting Fail!");
    return SiteResultCode::Fail;
  }
  return SiteResultCode::Pass;
}

SiteResult SendDriverSettings(SiteContext& ctx, const OperationTexts&) {
  const ProjectRecords& records = ctx.Project().Records();
  if (!Passed(SendSettingsImage(ctx, records.DriverImage))) {
    LogFailure(ctx, " - Driver INI Send Fail!");
    return SiteResultCode::Fail;
  }
  if (!Passed(PreparationCommand(ctx, "Driver INI Setting", CommandCode::DriverIniSetting))) {
    LogFailure(ctx, " - Driver INI Setting Fail!");
    return SiteResultCode::Fail;
  }
  const ZV_Driver_INI& driver = records.DriverIni[static_cast<std::size_t>(ctx.Site())];
  if (!Passed(SendDriverImage(ctx, DatabasePath(ctx, kDriverFolder, driver.UserWav)))) {
    return SiteResultCode::Fail;
  }
  return SendFpgaImage(ctx, DatabasePath(ctx, kFpgaFolder, driver.FPGAFile), true);
}

SiteResult SendDriverImage(SiteContext& ctx, const std::string& path) {
  // The CRC covers only the bytes that were read: a file longer than the image is cut at the
  // limit rather than summed past what the unit received.
  std::uint32_t fileBytes = 0;
  const auto image = LoadImage(path, kDriverImageLimit, fileBytes);
  if (!image) {
    LogFailure(ctx, " - Driver File Does Not Exist!");
    return SiteResultCode::Fail;
  }
  // The transfer's own result is not asked: the unit's CRC verdict below decides.
  SendBuffer(ctx.Link(), ctx.Log(), *image, kDriverImageLimit, UnitAddress::DriverImage);
  const std::uint32_t crc = Crc32(image->data(), fileBytes);
  return Passed(CheckDriverCrc(ctx, crc, fileBytes)) ? SiteResultCode::Pass : SiteResultCode::Fail;
}

SiteResult SendFpgaImage(SiteContext& ctx, const std::string& path, bool init) {
  std::uint32_t fileBytes = 0;
  const auto image = LoadImage(path, kFpgaImageLimit, fileBytes);
  if (!image) {
    LogFailure(ctx, " - FPGA File Does Not Exist!");
    return SiteResultCode::Fail;
  }
  if (!Passed(SendBuffer(ctx.Link(), ctx.Log(), *image, kFpgaImageLimit, UnitAddress::FpgaImage))) {
    return SiteResultCode::Fail;
  }
  if (init && !Passed(PreparationCommand(ctx, "FPGA Init", CommandCode::FpgaInit))) {
    return SiteResultCode::Fail;
  }
  return SiteResultCode::Pass;
}
