#include "log/core/log_files.h"

#include <chrono>
#include <cstdio>
#include <system_error>
#include <thread>

namespace {
// The free-name loop waits for the clock's next second; a few seconds of a taken name mean
// the clock does not move, and waiting longer would hang the UI thread.
constexpr std::chrono::milliseconds kRetryPause{20};
constexpr int kMaxAttempts = 150;  // 3 s
}  // namespace

std::int32_t ClampLogLimitRows(std::int32_t rows) {
  if (rows <= LogLimit::MinRows) return LogLimit::MinRows;
  if (rows >= LogLimit::MaxRows) return LogLimit::MaxRows;
  return rows;
}

std::int32_t CountFilesInDir(const std::filesystem::path& folder) {
  std::error_code error;
  std::filesystem::directory_iterator it(folder, error);
  std::int32_t count = 0;
  for (const std::filesystem::directory_iterator end; !error && it != end; it.increment(error)) {
    std::error_code typeError;
    if (!it->is_directory(typeError)) ++count;
  }
  return count;
}

std::tm CurrentLocalTime() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  return local;
}

std::string AutoLogFileName(const std::tm& localTime, std::int32_t number) {
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%04d%02d%02d_%02d%02d%02d_", localTime.tm_year + 1900,
                localTime.tm_mon + 1, localTime.tm_mday, localTime.tm_hour, localTime.tm_min,
                localTime.tm_sec);
  return stamp + std::to_string(number) + ".TXT";
}

std::filesystem::path FreeAutoLogPath(const std::filesystem::path& folder,
                                      const LocalTimeSource& clock) {
  const std::int32_t number = CountFilesInDir(folder) + 1;
  for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
    std::filesystem::path candidate = folder / AutoLogFileName(clock(), number);
    std::error_code error;
    if (!std::filesystem::exists(candidate, error) && !error) return candidate;
    std::this_thread::sleep_for(kRetryPause);
  }
  return {};
}
