#include "log/core/shown_line.h"

#include <cstdio>
#include <utility>

std::string LogLineStamp(const std::tm& t) {
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "[%04d / %02d / %02d - %02d:%02d:%02d] ", t.tm_year + 1900,
                t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
  return stamp;
}

std::vector<ShownLogLine> StampLogLines(std::vector<LogQueue::LogInfo>& lines,
                                        const std::tm& localTime) {
  const std::string stamp = LogLineStamp(localTime);
  std::vector<ShownLogLine> shown;
  shown.reserve(lines.size());
  for (LogQueue::LogInfo& entry : lines) {
    ShownLogLine line;
    line.time = localTime;
    line.stamped.reserve(stamp.size() + entry.Text.size());
    line.stamped = stamp;
    line.stamped += entry.Text;
    line.colour = entry.Color;
    shown.push_back(std::move(line));
  }
  return shown;
}
