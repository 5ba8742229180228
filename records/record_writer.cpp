#include "records/record_writer.h"

#include <random>
#include <utility>

namespace {

std::uint64_t RandomInstance() {
  std::random_device device;
  return (static_cast<std::uint64_t>(device()) << 32) ^ device();
}

}  // namespace

RecordWriter::RecordWriter(RecordWriterOptions options, LogSink& log)
    : options_(std::move(options)),
      log_(log),
      store_(options_.Path, options_.BusyTimeoutMs),
      instance_(RandomInstance()),
      thread_([this] { Run(); }) {}

RecordWriter::~RecordWriter() {
  Stop();
}

bool RecordWriter::Submit(PartRecord record) {
  if (record.RecordId.empty()) record.RecordId = NextRecordId();
  if (record.Time.empty()) record.Time = LocalIsoTime(std::chrono::system_clock::now());
  bool accepted = false;
  bool noticeDrop = false;
  {
    std::lock_guard lock(mutex_);
    if (stop_) return false;
    if (queue_.size() + inFlight_ < options_.MaxQueued) {
      queue_.push_back(std::move(record));
      ++accepted_;
      accepted = true;
    } else {
      ++dropped_;
      noticeDrop = !std::exchange(dropNoticed_, true);
    }
  }
  if (accepted) wake_.notify_one();
  if (noticeDrop) {
    Log("Part Records: more than " + std::to_string(options_.MaxQueued) +
            " records wait to be saved; new records are dropped!",
        LogColour::Red);
  }
  return accepted;
}

bool RecordWriter::Flush(std::chrono::milliseconds patience) {
  std::unique_lock lock(mutex_);
  const std::uint64_t target = accepted_;
  retryNow_ = true;
  wake_.notify_one();
  return committed_.wait_for(lock, patience, [&] { return committedCount_ >= target; });
}

void RecordWriter::Stop() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_one();
  if (thread_.joinable()) thread_.join();
}

std::uint64_t RecordWriter::CommittedCount() const {
  std::lock_guard lock(mutex_);
  return committedCount_;
}

std::uint64_t RecordWriter::DroppedCount() const {
  std::lock_guard lock(mutex_);
  return dropped_;
}

std::size_t RecordWriter::QueuedCount() const {
  std::lock_guard lock(mutex_);
  return queue_.size() + inFlight_;
}

// Records commit in the order they were accepted: what failed stays at the front (`pending`)
// and newer records join it behind, so a count of committed records says which ones are in.
void RecordWriter::Run() {
  std::vector<PartRecord> pending;
  std::unique_lock lock(mutex_);
  for (;;) {
    if (pending.empty()) {
      wake_.wait(lock, [&] { return stop_ || !queue_.empty(); });
    } else {
      wake_.wait_for(lock, options_.RetryInterval, [&] { return stop_ || retryNow_; });
    }
    retryNow_ = false;
    const bool stopping = stop_;
    for (PartRecord& record : queue_) pending.push_back(std::move(record));
    queue_.clear();
    inFlight_ = pending.size();
    lock.unlock();
    const bool saved = pending.empty() || Commit(pending);
    lock.lock();
    if (saved) {
      committedCount_ += pending.size();
      inFlight_ = 0;
      pending.clear();
      dropNoticed_ = false;
      committed_.notify_all();
    }
    if (stopping) break;
  }
  lock.unlock();
  if (!pending.empty()) {
    Log("Part Records: " + std::to_string(pending.size()) + " records could not be saved to " +
            options_.Path + "!",
        LogColour::Red);
  }
}

bool RecordWriter::Commit(const std::vector<PartRecord>& batch) {
  const StoreResult result = store_.Insert(batch);
  if (result.Ok()) {
    if (failing_.exchange(false)) {
      Log("Part Records: " + options_.Path +
              " can be written again; the waiting records are saved.",
          LogColour::Green);
    }
    return true;
  }
  if (!failing_.exchange(true)) {
    Log("Part Records: " + options_.Path + " is " + StoreStatusText(result.Status) + " (" +
            result.Message + "); records are kept and saved when it can be written again!",
        LogColour::Red);
  }
  return false;
}

std::string RecordWriter::NextRecordId() {
  return HexText(instance_, 16) + "-" + HexText(sequence_.fetch_add(1), 8);
}

void RecordWriter::Log(const std::string& text, std::uint32_t colour) {
  log_.Write(text, colour, LogLevel::Essential);  // shown in every display mode but "None"
}
