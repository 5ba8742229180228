// CProject::PrepareSdProjectSet and RemoveSdProjectSet, and the set's file table.
#include "project/sd_project_set.h"

#include <filesystem>

#include "log/core/log_sink.h"
#include "project/cproject.h"
#include "project/database_path.h"
#include "project/hardware_ini.h"
#include "project/option_record.h"
#include "project/project_records.h"
#include "support/checksums.h"
#include "support/file_helpers.h"
#include "support/ini_file.h"
#include "support/system_paths.h"

namespace {
enum SetIndex : std::size_t {
  kIni,
  kOption,
  kMenu,
  kInfo,
  kHardware,
  kDriver,
  kFpga,
  kTemp,
  kChecksum
};

// The byte sum of a whole file; false when it cannot be summed.
bool WholeFileSum(const std::string& path, std::uint32_t& sum) {
  sum = 0;
  const std::int64_t size = GetFileSizeBytes(path);
  if (size < 0) return false;
  return FileByteSum(path, 0, static_cast<std::uint64_t>(size), sum) == ByteSumResult::Ok;
}
}  // namespace

std::array<SdSetFile, kSdSetFileCount> SdProjectSetFiles(const SystemPaths& paths,
                                                         const ZV_Driver_INI& driver) {
  const std::string& temp = paths.TempDir;
  const std::string database = paths.BaseDir + "DataBase/";
  return {{
      {SdSetLabel::Ini, temp + "INI"},
      {SdSetLabel::Option, temp + "Option"},
      {SdSetLabel::Menu, temp + "Menu"},
      {SdSetLabel::Info, temp + kInfoMember},
      {SdSetLabel::Hardware, temp + "Hardware"},
      {SdSetLabel::Driver, DatabaseFile(database + "Driver", driver.UserWav)},
      {SdSetLabel::Fpga, DatabaseFile(database + "FPGA", driver.FPGAFile)},
      {SdSetLabel::Temp, paths.BaseDir + "Temp/" + kImageMember},
      {SdSetLabel::Checksum, temp + "Checksum"},
  }};
}

std::array<std::uint8_t, kChecksumFileSize> EncodeChecksumFile(
    const std::array<std::uint32_t, kSdSetSummedFiles>& sums) {
  std::array<std::uint8_t, kChecksumFileSize> bytes{};
  for (std::size_t i = 0; i < sums.size(); ++i) {
    for (std::size_t b = 0; b < 4; ++b)
      bytes[i * 4 + b] = static_cast<std::uint8_t>(sums[i] >> (8 * b));
  }
  return bytes;
}

bool CProject::PrepareSdProjectSet() {
  const auto files = SdProjectSetFiles(env_.Paths, env_.Records.DriverIni[0]);
  const auto fail = [this](const std::string& label, const char* tail) {
    env_.Log.Write(label + tail, LogColour::Red);
    return false;
  };
  const DriverIniImage& driverImage = env_.Records.DriverImage;
  if (!WriteFileBytes(driverImage.Data(), driverImage.Size(), files[kIni].Path)) {
    return fail(SdSetLabel::Ini, " File Write Fail!");
  }
  const OptionRecord option = BuildOptionRecord(*this, env_.Records.ProcessPlan[0]);
  if (!WriteFileBytes(option.data(), option.size(), files[kOption].Path)) {
    return fail(SdSetLabel::Option, " File Write Fail!");
  }
  if (!BuildMenuRecord()) return false;
  if (!WriteFileBytes(menu_->data(), menu_->size(), files[kMenu].Path)) {
    return fail(SdSetLabel::Menu, " File Write Fail!");
  }

  const std::string hardwarePath = env_.Paths.BaseDir + kHardwareIniPath;
  std::error_code error;
  IniFile hardwareIni;
  if (!std::filesystem::is_regular_file(hardwarePath, error) || !hardwareIni.Load(hardwarePath)) {
    return fail(SdSetLabel::Hardware, " File Not Exists!");
  }
  HardwareIniImage hardwareImage;
  ReadHardwareIni(hardwareIni, env_.Hardware, hardwareImage);
  if (!WriteFileBytes(hardwareImage.Data(), hardwareImage.Size(), files[kHardware].Path)) {
    return fail(SdSetLabel::Hardware, " File Write Fail!");
  }

  std::array<std::uint32_t, kSdSetSummedFiles> sums{};
  for (std::size_t i = 0; i < kSdSetSummedFiles; ++i) {
    if (!WholeFileSum(files[i].Path, sums[i])) return fail(files[i].Label, " File Checksum Error!");
  }
  const auto checksum = EncodeChecksumFile(sums);
  if (!WriteFileBytes(checksum.data(), checksum.size(), files[kChecksum].Path)) {
    return fail(SdSetLabel::Checksum, " File Write Fail!");
  }
  return true;
}

void CProject::RemoveSdProjectSet() const {
  const std::string& temp = env_.Paths.TempDir;
  for (const char* name : {"INI", "Option", "Menu", kInfoMember, "Hardware", "Checksum"}) {
    std::error_code error;
    std::filesystem::remove(temp + name, error);
  }
}
