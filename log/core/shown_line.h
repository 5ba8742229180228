#pragma once
// A log line as a consumer shows it: stamped with the local time it was shown. Both consumers
// (the log view and the headless writer) stamp through StampLogLines, so the journal and the
// standard-output mirror get the same text whichever front end runs.
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "log/core/log_queue.h"

struct ShownLogLine {
  std::tm time{};
  std::string stamped;  // "[yyyy / mm / dd - hh:mm:ss] " + text
  std::uint32_t colour = 0;
};

// "[yyyy / mm / dd - hh:mm:ss] " (ends in one blank).
std::string LogLineStamp(const std::tm& localTime);

// Stamps a chunk of taken lines with one time (the time they are shown); moves their texts.
std::vector<ShownLogLine> StampLogLines(std::vector<LogQueue::LogInfo>& lines,
                                        const std::tm& localTime);
