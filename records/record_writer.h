#pragma once
// Takes the RUN ALL records off the site workers' path and commits them to the record store.
//
// Why it is built this way: a worker is in the middle of programming parts, so handing a record
// over must never wait for the disk. Submit holds the queue's lock for one append; a writer
// thread, woken at the first record, takes everything queued in one swap and commits it as one
// transaction, so records that arrive while a commit runs go into the next one. A database that
// cannot be written (locked, full, damaged) keeps the records queued and retries; the operator
// sees one line when the trouble starts and one when it is over, not a line per record.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "log/core/log_sink.h"
#include "records/part_record.h"
#include "records/record_store.h"

struct RecordWriterOptions {
  std::string Path;                               // e.g. RecordStore::PathBelow(BaseDir)
  std::size_t MaxQueued = 100000;                 // beyond this, new records are dropped
  std::chrono::milliseconds RetryInterval{1000};  // between attempts while the file fails
  int BusyTimeoutMs = RecordStore::kDefaultBusyTimeoutMs;
};

class RecordWriter {
 public:
  // Starts the writer thread; the database is opened at the first commit. `log` must outlive
  // the writer (Stop may still write a line).
  RecordWriter(RecordWriterOptions options, LogSink& log);
  // Stop(): commits what is queued.
  ~RecordWriter();
  RecordWriter(const RecordWriter&) = delete;
  RecordWriter& operator=(const RecordWriter&) = delete;

  // Hands a record over and returns at once. Fills RecordId (unique) and Time (now) when they
  // are empty. False when the record was dropped: the queue is full, or the writer stopped.
  bool Submit(PartRecord record);

  // Waits until every record accepted before the call is committed, asking a failing writer to
  // retry at once. False when `patience` ran out first.
  bool Flush(std::chrono::milliseconds patience);

  // Commits what is queued (one more attempt when the file fails; what still cannot be saved
  // is reported in one line) and ends the writer thread. Later calls do nothing.
  void Stop();

  std::uint64_t CommittedCount() const;             // records that are in the database
  std::uint64_t DroppedCount() const;               // records refused because the queue was full
  std::size_t QueuedCount() const;                  // accepted and not yet committed
  bool Failing() const { return failing_.load(); }  // the last commit failed

 private:
  void Run();
  bool Commit(const std::vector<PartRecord>& batch);
  std::string NextRecordId();
  void Log(const std::string& text, std::uint32_t colour);

  RecordWriterOptions options_;
  LogSink& log_;
  RecordStore store_;             // used by the writer thread only
  const std::uint64_t instance_;  // random: ids stay unique across program starts
  std::atomic<std::uint64_t> sequence_{0};
  std::atomic<bool> failing_{false};

  mutable std::mutex mutex_;
  std::condition_variable wake_;       // the writer waits here
  std::condition_variable committed_;  // Flush waits here
  std::vector<PartRecord> queue_;
  std::size_t inFlight_ = 0;    // taken by the writer, not yet committed
  std::uint64_t accepted_ = 0;  // every record ever queued
  std::uint64_t committedCount_ = 0;
  std::uint64_t dropped_ = 0;
  bool dropNoticed_ = false;  // the drop line of the current outage was written
  bool retryNow_ = false;
  bool stop_ = false;
  std::thread thread_;  // last: starts after everything above exists
};
