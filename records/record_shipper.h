#pragma once
// Ships the local records to the line's database on a thread of its own.
//
// Why a thread of its own: the network may be slow or gone for hours, and neither the site
// workers nor the local commit may ever wait for it. The shipper reads what the writer has
// committed, from its watermark on; while the line's database cannot be reached it retries
// quietly, and the operator sees one line when shipping stops (with the reason and the backlog)
// and one when it resumes.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "log/core/log_sink.h"
#include "records/record_pusher.h"

struct RecordShipperOptions {
  std::string Url;                                // the line's database, as libpq reads it
  std::string LocalPath;                          // e.g. RecordStore::PathBelow(BaseDir)
  std::string BaseDir;                            // the station id's file is below it
  std::string ProgramVersion;                     // registered with the station
  std::chrono::milliseconds PollInterval{1000};   // between looks for new records
  std::chrono::milliseconds RetryInterval{5000};  // between attempts while shipping fails
  std::size_t BatchRecords = kShipBatchRecords;
};

class RecordShipper {
 public:
  // Starts the thread. `log` must outlive the shipper.
  RecordShipper(RecordShipperOptions options, LogSink& log);
  // Stop().
  ~RecordShipper();
  RecordShipper(const RecordShipper&) = delete;
  RecordShipper& operator=(const RecordShipper&) = delete;

  // Ships at once instead of at the next look (after the writer's last commit).
  void Nudge();
  // One last pass for what is committed by now, then the thread ends. Later calls do nothing.
  void Stop();

  std::uint64_t ShippedCount() const { return shipped_.load(); }
  bool Failing() const { return failing_.load(); }

 private:
  void Run();
  void Report(const ShipOutcome& outcome);
  void Log(const std::string& text, std::uint32_t colour);

  RecordShipperOptions options_;
  LogSink& log_;
  std::atomic<std::uint64_t> shipped_{0};
  std::atomic<bool> failing_{false};
  std::mutex mutex_;
  std::condition_variable wake_;
  bool nudged_ = false;
  bool stop_ = false;
  std::thread thread_;  // last: starts after everything above exists
};
