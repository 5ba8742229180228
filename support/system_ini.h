#pragma once
// The settings file System/System.ini: its keys, their defaults and the toolkit-free part of
// loading and writing it. The windows show the loaded values; they do not read the file.
#include <cstdint>
#include <string>

#include "support/system_para.h"

namespace SystemIni {
inline constexpr const char* RelativePath = "System/System.ini";
inline constexpr const char* Section = "System";

inline constexpr const char* ExeDirPath = "ExeDirPath";
inline constexpr const char* PowerLedRetryCount = "PowerLed_RetryCount";
inline constexpr const char* PowerLedRetryDelayMS = "PowerLed_RetryDelayMS";
inline constexpr const char* MBoxClrSel = "MBoxClrSel";
inline constexpr const char* MegLimitRows = "MegLimitRows";
inline constexpr const char* MegSaveDir = "MegSaveDir";
inline constexpr const char* AutoRunInterval = "AutoRunInterval";
inline constexpr const char* DataBufferSel = "DataBufferSel";
inline constexpr const char* LogDisplayMode = "LogDisplayMode";
// The line's database the per-part records are shipped to (section "Records").
inline constexpr const char* RecordsSection = "Records";
inline constexpr const char* RecordsUrl = "Url";

inline constexpr std::int32_t DefaultPowerLedRetryCount = 4;
inline constexpr std::int32_t DefaultPowerLedRetryDelayMS = 2;
inline constexpr std::int32_t DefaultMBoxClrSel = 0;
inline constexpr std::int32_t DefaultMegLimitRows = 10000;
inline constexpr std::int32_t DefaultAutoRunInterval = 500;
inline constexpr std::int32_t DefaultLogDisplayMode = 1;
inline constexpr const char* DefaultMegSaveSubDir = "History/MLOG";

inline constexpr std::uint8_t ModeByte = 0xA3;
inline constexpr std::int32_t HandlerModeMarker = 2012;
}  // namespace SystemIni

// The track bars that show two of the settings: the auto-run interval (200 + 50 × position,
// positions 0..96) and the log row limit (10000 + 5000 × position, positions 0..8).
namespace SettingScale {
inline constexpr std::int32_t IntervalBase = 200;
inline constexpr std::int32_t IntervalStep = 50;
inline constexpr std::int32_t IntervalMaxPosition = 96;
inline constexpr std::int32_t LimitBase = 10000;
inline constexpr std::int32_t LimitStep = 5000;
inline constexpr std::int32_t LimitMaxPosition = 8;
}  // namespace SettingScale

// Track-bar position of a value; values off the scale show at its nearest end.
std::int32_t IntervalTrackPosition(std::int32_t intervalMs);
std::int32_t LimitTrackPosition(std::int32_t rows);
std::int32_t IntervalOfPosition(std::int32_t position);
std::int32_t LimitOfPosition(std::int32_t position);

// The link's power-LED word: retry count in the low byte, retry delay in the next.
std::uint32_t PowerLedWord(const S_SystemPara& para);

// Loads the settings below `baseDir` into `para`:
// - "ExeDirPath" of baseDir's file: when it names an existing folder, baseDir becomes that folder
//   (with a trailing "/" added if it has none) and ExeDirPath keeps the text; otherwise
//   ExeDirPath := baseDir. Every further key comes from the file below the final baseDir.
// - ModeByte := 0xA3; DataBufferSel and HandlerModeMarker follow `handlerMode`.
// - "Url" of section "Records" is the records' shipping target (empty: none).
// - An AutoRunInterval below 1 becomes 500. Missing keys and values that are no integers take
//   their defaults; a missing file is no failure.
void LoadSystemIniFile(std::string& baseDir, bool handlerMode, S_SystemPara& para);

// Writes one key of section "System" in baseDir's file, keeping every other line; the file is
// created when missing. False when it cannot be written.
bool WriteSystemIniInteger(const std::string& baseDir, const char* key, std::int64_t value);
bool WriteSystemIniString(const std::string& baseDir, const char* key, const std::string& value);
