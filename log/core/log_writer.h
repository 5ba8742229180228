#pragma once
// The headless consumer of the log pipeline, for front ends without a log view (the console
// tool, the command-line program): a thread that sleeps until the pipeline wakes it, takes the
// queued lines in chunks, stamps them and hands them to the journal first and then to its
// output, in queueing order. Row-limit requests are served as checks with nothing to limit.
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "log/core/log_files.h"
#include "log/core/log_queue.h"
#include "log/core/shown_line.h"

class Journal;

class TLogWriter {
 public:
  // Where the writer shows its lines; runs on the writer thread.
  using Output = std::function<void(const std::vector<ShownLogLine>& lines)>;
  struct Options {
    Journal* journal = nullptr;  // gets every line before the output; may be null
    Output output;               // may be empty (journal only)
    LocalTimeSource clock = CurrentLocalTime;
  };

  // Writes each line, ended by '\n', to `out` and flushes after each chunk.
  static Output PrintTo(std::FILE* out);

  // Attaches to the pipeline (which must outlive the writer) and starts the thread.
  TLogWriter(LogQueue& log, Options options);
  // Detaches and joins; lines still queued stay in the pipeline.
  ~TLogWriter();
  TLogWriter(const TLogWriter&) = delete;
  TLogWriter& operator=(const TLogWriter&) = delete;

  // Returns when every line queued before the call has been written (or dropped by the
  // pipeline's termination). Any thread but the writer's (never from inside the output).
  void Flush();
  std::uint64_t WrittenLines() const;

 private:
  static constexpr std::size_t kChunkLines = 4096;

  void Run();
  void Turn(std::vector<LogQueue::LogInfo>& chunk);
  void MarkWritten();
  bool Stopping() const;

  LogQueue& log_;
  Options options_;
  mutable std::mutex mutex_;  // guards the fields below
  std::condition_variable changed_;
  bool woken_ = false;
  bool stop_ = false;
  std::uint64_t written_;  // the pipeline's taken count when the last chunk was written
  std::thread thread_;     // last: starts after every member above exists
};
