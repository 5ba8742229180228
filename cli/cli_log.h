#pragma once
// The command-line program's log: the log pipeline printing every shown line, with its time
// stamp, to a stream on the writer thread. Counts what it accepted and what it printed, so the
// program can wait until every line is out before it prints its tables and ends.
//
// The one place the command-line program consumes the log; a headless consumer of the system's
// own pipeline takes its place here once there is one.
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <ostream>
#include <string>

#include "log/core/log_thread.h"

class CliLog final : public LogSink {
 public:
  // `outMutex` guards `out` against the program's other writers.
  CliLog(std::ostream& out, std::mutex& outMutex, std::int32_t displayMode);
  ~CliLog() override;

  void AddLogMessage(const std::string& text, std::uint32_t colour, std::uint8_t ignored,
                     std::uint8_t essential) override;
  void SetDisplayMode(std::int32_t mode) { thread_.SetLogDisplayMode(mode); }

  // Returns when every accepted line has been printed.
  void Flush();

  // "[yyyy / mm / dd - hh:mm:ss] " of the local time now.
  static std::string TimeStamp();

 private:
  void Print(const std::string& text);

  std::ostream& out_;
  std::mutex& outMutex_;
  std::mutex mutex_;  // guards printed_ and orders the accept count against it
  std::condition_variable printedCv_;
  std::uint64_t accepted_ = 0;
  std::uint64_t printed_ = 0;
  TLogThread thread_;  // last: its writer calls Print, which uses the members above
};
