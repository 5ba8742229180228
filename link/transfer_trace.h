#pragma once
// The transfer trace: one text line per bulk write and read, as a USB analyser shows them.
// Switched on by the environment variable ZV_USB_TRACE=<path> (read when the link table is
// built) or by a front end through TraceSwitch::Start(path). When it is off, a transfer pays
// one atomic pointer load. Lines of the eight sites go through one mutex, so they never mix.
//
// Line format (fields separated by one blank):
//   <hh:mm:ss.uuuuuu> S<site> <OUT|IN> EP<xx> ask=<n> <got=<m>|err=<e>> [<hex bytes>]
// Transfers of up to 1024 bytes (command blocks, replies, acknowledgements) are dumped whole;
// longer data chunks show the first and last 64 bytes around "... (<k> bytes) ...". "got" counts
// the bytes moved; "err" is the library's negative result; failed transfers show no bytes.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

enum class TraceDirection { Out, In };

class TransferTrace {
 public:
  // Opens (truncates) the file; Valid() is false when it cannot be opened.
  explicit TransferTrace(const std::string& path);
  ~TransferTrace();
  TransferTrace(const TransferTrace&) = delete;
  TransferTrace& operator=(const TransferTrace&) = delete;

  bool Valid() const { return file_ != nullptr; }
  const std::string& Path() const { return path_; }

  // site: 0..7 (written as 1..8); result: the library's return value.
  void Record(int site, TraceDirection direction, int endpoint, int asked, int result,
              const std::uint8_t* bytes);

  // The text of one line without its time field (shared with the tests).
  static std::string FormatBody(int site, TraceDirection direction, int endpoint, int asked,
                                int result, const std::uint8_t* bytes);

 private:
  std::string path_;
  std::FILE* file_ = nullptr;
  std::mutex mutex_;
};

// The switch the links look at before each transfer. Traces that were switched off stay
// alive until the switch goes, so a transfer that loaded the pointer just before can still
// write its line.
class TraceSwitch {
 public:
  TraceSwitch() = default;
  TraceSwitch(const TraceSwitch&) = delete;
  TraceSwitch& operator=(const TraceSwitch&) = delete;

  // Starts tracing into `path` (replacing an earlier trace); false if the file cannot be made.
  bool Start(const std::string& path);
  // Starts tracing when ZV_USB_TRACE names a path; false when it is unset or unusable.
  bool StartFromEnvironment();
  void Stop();
  bool IsOn() const { return current_.load(std::memory_order_acquire) != nullptr; }

  TransferTrace* Current() const { return current_.load(std::memory_order_acquire); }

 private:
  std::atomic<TransferTrace*> current_{nullptr};
  std::mutex mutex_;  // guards traces_
  std::vector<std::unique_ptr<TransferTrace>> traces_;
};

inline constexpr const char* kTraceEnvironmentVariable = "ZV_USB_TRACE";
