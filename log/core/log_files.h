#pragma once
// Toolkit-free helpers of the log files: the row limit, the file count of the save folder and
// the automatic file name.
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>

namespace LogLimit {
inline constexpr std::int32_t MinRows = 10000;
inline constexpr std::int32_t MaxRows = 50000;
}  // namespace LogLimit

// The row limit as used: 10000 or less acts as 10000, 50000 or more as 50000.
std::int32_t ClampLogLimitRows(std::int32_t rows);

// Entries of the folder that are not directories; 0 when the folder cannot be listed.
std::int32_t CountFilesInDir(const std::filesystem::path& folder);

// The local time now; replaced in tests.
using LocalTimeSource = std::function<std::tm()>;
std::tm CurrentLocalTime();

// "yyyymmdd_hhmmss_" + number + ".TXT", e.g. 20150805_140309_13.TXT.
std::string AutoLogFileName(const std::tm& localTime, std::int32_t number);

// The automatic save path in `folder`: the name from the current time and
// CountFilesInDir(folder) + 1; while that file exists the name is built again from the current
// time (within one second this waits for the clock's next second). Gives up and returns an empty
// path when the name stays taken for several seconds (a clock that does not move).
std::filesystem::path FreeAutoLogPath(const std::filesystem::path& folder,
                                      const LocalTimeSource& clock = CurrentLocalTime);
