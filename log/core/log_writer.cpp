#include "log/core/log_writer.h"

#include <utility>

#include "log/core/journal.h"

TLogWriter::Output TLogWriter::PrintTo(std::FILE* out) {
  return [out](const std::vector<ShownLogLine>& lines) {
    for (const ShownLogLine& line : lines) {
      std::fwrite(line.stamped.data(), 1, line.stamped.size(), out);
      std::fputc('\n', out);
    }
    std::fflush(out);
  };
}

TLogWriter::TLogWriter(LogQueue& log, Options options)
    : log_(log),
      options_(std::move(options)),
      written_(log.TakenCount()),
      thread_([this] { Run(); }) {
  log_.SetWake([this] {
    std::lock_guard lock(mutex_);
    woken_ = true;
    changed_.notify_all();
  });
}

TLogWriter::~TLogWriter() {
  log_.SetWake({});  // once this returns, no producer reaches this object any more
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void TLogWriter::Run() {
  std::vector<LogQueue::LogInfo> chunk;
  for (;;) {
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [this] { return stop_ || woken_; });
      if (stop_) return;
      woken_ = false;
    }
    Turn(chunk);
  }
}

// One turn takes everything: the writer has no event loop to share its thread with.
void TLogWriter::Turn(std::vector<LogQueue::LogInfo>& chunk) {
  do {
    while (!Stopping() && log_.TakeLines(chunk, kChunkLines) > 0) {
      std::vector<ShownLogLine> shown = StampLogLines(chunk, options_.clock());
      if (options_.journal) options_.journal->Append(shown);
      if (options_.output) options_.output(shown);
      MarkWritten();
    }
    log_.ServeLimitCheck({});  // no rows kept here: nothing to clear
  } while (!Stopping() && log_.EndTurn());
  MarkWritten();  // lines dropped by a termination count too, so a flush does not wait for them
}

// The writer is the pipeline's only consumer: every line taken so far is written.
void TLogWriter::MarkWritten() {
  const std::uint64_t taken = log_.TakenCount();
  std::lock_guard lock(mutex_);
  written_ = taken;
  changed_.notify_all();
}

// Producers that never pause keep a turn going: the destructor must still end it.
bool TLogWriter::Stopping() const {
  std::lock_guard lock(mutex_);
  return stop_;
}

void TLogWriter::Flush() {
  const std::uint64_t target = log_.QueuedCount();
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return written_ >= target || log_.Terminated(); });
}

std::uint64_t TLogWriter::WrittenLines() const {
  std::lock_guard lock(mutex_);
  return written_;
}
