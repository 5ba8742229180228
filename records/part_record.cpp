#include "records/part_record.h"

#include <cstdio>
#include <ctime>

std::string LocalIsoTime(std::chrono::system_clock::time_point when) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
  const auto sinceEpoch = when.time_since_epoch();
  const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch) -
                      std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::duration_cast<std::chrono::seconds>(sinceEpoch));
  // to_time_t rounds down for instants after the epoch, so the remainder is 0..999.
  std::tm local{};
  localtime_r(&seconds, &local);
  const int offsetMinutes = static_cast<int>(local.tm_gmtoff / 60);
  const int absOffset = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
  char text[128];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d",
                local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                local.tm_sec, static_cast<int>(millis.count()), offsetMinutes < 0 ? '-' : '+',
                absOffset / 60, absOffset % 60);
  return text;
}

bool IsIsoDate(const std::string& text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
  for (std::size_t i : {0u, 1u, 2u, 3u, 5u, 6u, 8u, 9u}) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  int year = 0;
  for (std::size_t i = 0; i < 4; ++i) year = year * 10 + (text[i] - '0');
  const int month = (text[5] - '0') * 10 + (text[6] - '0');
  const int day = (text[8] - '0') * 10 + (text[9] - '0');
  if (month < 1 || month > 12) return false;
  // A day the month does not have would roll over into the next month when the time is made.
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const int last = month == 2 && leap ? 29 : kDays[month - 1];
  return day >= 1 && day <= last;
}

std::vector<int> SocketList(std::uint8_t mask) {
  std::vector<int> sockets;
  for (int k = 0; k < kRecordSockets; ++k) {
    if ((mask >> k) & 1U) sockets.push_back(k + 1);
  }
  return sockets;
}

std::string HexText(std::uint64_t value, int digits) {
  char text[24];
  std::snprintf(text, sizeof text, "%0*llX", digits, static_cast<unsigned long long>(value));
  return text;
}
