#include "support/system_ini.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "support/ini_file.h"

namespace {
std::string IniPath(const std::string& baseDir) {
  return baseDir + SystemIni::RelativePath;
}

IniFile LoadIni(const std::string& baseDir) {
  IniFile ini;
  ini.Load(IniPath(baseDir));  // a missing file reads as empty: every key takes its default
  return ini;
}

// For a write: false when the file exists but cannot be read, so that rewriting it cannot
// replace lines that were never seen.
bool LoadForWrite(const std::string& baseDir, IniFile& ini) {
  std::error_code error;
  const bool exists = std::filesystem::exists(IniPath(baseDir), error);
  return ini.Load(IniPath(baseDir)) || !exists;
}

std::int32_t ReadInt(const IniFile& ini, const char* key, std::int32_t def) {
  return ini.ReadInteger(SystemIni::Section, key, def);
}

bool IsExistingDir(const std::string& path) {
  std::error_code error;
  return !path.empty() && std::filesystem::is_directory(path, error);
}

std::int32_t PositionOf(std::int32_t value, std::int32_t base, std::int32_t step,
                        std::int32_t maxPosition) {
  if (value <= base) return 0;
  return std::min((value - base) / step, maxPosition);
}

// Step 2 of the load: the base folder may move to the one "ExeDirPath" names.
void ApplyExeDirPath(std::string& baseDir, S_SystemPara& para) {
  const IniFile first = LoadIni(baseDir);
  const std::string named = first.ReadString(SystemIni::Section, SystemIni::ExeDirPath, "");
  if (IsExistingDir(named)) {
    para.ExeDirPath = named;
    // On this platform a folder without its separator would glue the relative names onto it.
    baseDir = named.back() == '/' ? named : named + '/';
  } else {
    para.ExeDirPath = baseDir;
  }
}
}  // namespace

std::int32_t IntervalTrackPosition(std::int32_t intervalMs) {
  using namespace SettingScale;
  return PositionOf(intervalMs, IntervalBase, IntervalStep, IntervalMaxPosition);
}

std::int32_t LimitTrackPosition(std::int32_t rows) {
  using namespace SettingScale;
  return PositionOf(rows, LimitBase, LimitStep, LimitMaxPosition);
}

std::int32_t IntervalOfPosition(std::int32_t position) {
  using namespace SettingScale;
  return IntervalBase + IntervalStep * std::clamp(position, 0, IntervalMaxPosition);
}

std::int32_t LimitOfPosition(std::int32_t position) {
  using namespace SettingScale;
  return LimitBase + LimitStep * std::clamp(position, 0, LimitMaxPosition);
}

std::uint32_t PowerLedWord(const S_SystemPara& para) {
  const auto count = static_cast<std::uint32_t>(para.PowerLed_RetryCount) & 0xFFu;
  const auto delay = static_cast<std::uint32_t>(para.PowerLed_RetryDelayMS) & 0xFFu;
  return count | (delay << 8);
}

void LoadSystemIniFile(std::string& baseDir, bool handlerMode, S_SystemPara& para) {
  ApplyExeDirPath(baseDir, para);
  const IniFile ini = LoadIni(baseDir);
  para.ModeByte = SystemIni::ModeByte;
  para.PowerLed_RetryCount =
      ReadInt(ini, SystemIni::PowerLedRetryCount, SystemIni::DefaultPowerLedRetryCount);
  para.PowerLed_RetryDelayMS =
      ReadInt(ini, SystemIni::PowerLedRetryDelayMS, SystemIni::DefaultPowerLedRetryDelayMS);
  para.MBoxClrSel = ReadInt(ini, SystemIni::MBoxClrSel, SystemIni::DefaultMBoxClrSel);
  para.MegLimitRows = ReadInt(ini, SystemIni::MegLimitRows, SystemIni::DefaultMegLimitRows);
  para.MegSaveDir = ini.ReadString(SystemIni::Section, SystemIni::MegSaveDir,
                                   baseDir + SystemIni::DefaultMegSaveSubDir);
  para.AutoRunInterval =
      ReadInt(ini, SystemIni::AutoRunInterval, SystemIni::DefaultAutoRunInterval);
  if (para.AutoRunInterval < 1) para.AutoRunInterval = SystemIni::DefaultAutoRunInterval;
  // "DataBufferSel" is written by the options window but never read back: the mode decides.
  para.DataBufferSel = handlerMode ? 1 : 0;
  para.HandlerModeMarker = handlerMode ? SystemIni::HandlerModeMarker : 0;
  para.LogDisplayMode = ReadInt(ini, SystemIni::LogDisplayMode, SystemIni::DefaultLogDisplayMode);
  para.RecordsUrl = ini.ReadString(SystemIni::RecordsSection, SystemIni::RecordsUrl, "");
}

bool WriteSystemIniInteger(const std::string& baseDir, const char* key, std::int64_t value) {
  IniFile ini;
  return LoadForWrite(baseDir, ini) && ini.WriteInteger(SystemIni::Section, key, value) &&
         ini.SaveAs(IniPath(baseDir));
}

bool WriteSystemIniString(const std::string& baseDir, const char* key, const std::string& value) {
  IniFile ini;
  return LoadForWrite(baseDir, ini) && ini.WriteString(SystemIni::Section, key, value) &&
         ini.SaveAs(IniPath(baseDir));
}
