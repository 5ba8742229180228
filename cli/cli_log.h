#pragma once
// The console's log: the log pipeline printing every line, with its time stamp, to standard
// output on the writer thread. Counts what it accepted and what it printed, so the program
// can wait until every line is out before it prints the site table and ends.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

#include "log/core/log_thread.h"

class ConsoleLog final : public LogSink {
 public:
  ConsoleLog(std::FILE* out, std::int32_t displayMode);
  ~ConsoleLog() override = default;

  void AddLogMessage(const std::string& text, std::uint32_t colour, std::uint8_t ignored,
                     std::uint8_t essential) override;

  // Returns when every accepted line has been printed.
  void Flush();

  // "[yyyy / mm / dd - hh:mm:ss] " of the local time now.
  static std::string TimeStamp();

 private:
  void Print(const std::string& text);

  std::FILE* out_;
  std::mutex mutex_;  // guards printed_ and orders the accept count against it
  std::condition_variable printedCv_;
  std::uint64_t accepted_ = 0;
  std::uint64_t printed_ = 0;
  TLogThread thread_;  // last: its writer calls Print, which uses the members above
};
