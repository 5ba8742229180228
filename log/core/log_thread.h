#pragma once
// The toolkit-free log pipeline: the display filter, the queue that any thread pushes into and
// the writer thread that hands the queued lines, in queueing order, to the log view.
//
// Why it is built this way: producers are the site workers in the middle of programming a part,
// so a producer must never wait for the view. A push holds the queue's lock only for one
// append. The writer takes the whole queue in one step under the lock (a swap) and hands the
// batch on outside it, so the lock is never held while the writer waits for its consumer, and
// there is no pause per line. A condition variable wakes the writer at the first line of a batch
// instead of leaving it to poll.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "log/core/log_sink.h"

// Values of S_SystemPara::LogDisplayMode.
namespace LogDisplay {
inline constexpr std::int32_t None = 0;       // nothing is shown, failures included
inline constexpr std::int32_t Essential = 1;  // essential lines and every red line
inline constexpr std::int32_t All = 2;        // every line
}  // namespace LogDisplay

// The display filter: whether a line of this colour and essential flag is shown in the mode.
// Any mode other than the three above shows nothing.
bool IsLogMessageShown(std::int32_t displayMode, std::uint32_t colour, std::uint8_t essential);

class TLogThread final : public LogSink {
 public:
  struct LogInfo {
    std::uint32_t Color = 0;
    std::string Text;
  };

  // Consumers of the lines. They run on the thread the dispatcher chooses (the UI thread in the
  // program), or on the writer thread when no dispatcher is set.
  using MessageCallback = std::function<void(const std::string& text, std::uint32_t colour)>;
  using BatchCallback = std::function<void(const std::vector<LogInfo>& batch)>;
  using LimitCallback = std::function<void(std::int32_t clearSelection, std::int32_t rowLimit)>;

  // Runs `work` on the consumer's thread. It should post the work and return (for Qt:
  // QMetaObject::invokeMethod(context, std::move(work), Qt::QueuedConnection)); it may also run
  // it at once. It must not block waiting for the UI thread. The writer thread waits for the
  // work to finish; Terminate() cancels that wait, and work that runs after it was cancelled
  // does nothing, so the UI thread may terminate and destroy the pipeline while work it has not
  // yet run is still posted to it.
  using Dispatcher = std::function<void(std::function<void()> work)>;

  static constexpr std::chrono::milliseconds DefaultPeriod{10};

  // Starts the writer thread at once.
  explicit TLogThread(std::int32_t displayMode = LogDisplay::Essential,
                      std::chrono::milliseconds period = DefaultPeriod);
  // Terminates and joins the writer; lines still queued are dropped. Must not be called from
  // inside a callback.
  ~TLogThread() override;
  TLogThread(const TLogThread&) = delete;
  TLogThread& operator=(const TLogThread&) = delete;

  // Filters with the current display mode, then queues the line. Any thread.
  void AddLogMessage(const std::string& text, std::uint32_t colour, std::uint8_t ignored,
                     std::uint8_t essential) override;
  bool IsLogMessageShown(std::uint32_t colour, std::uint8_t essential) const;
  // The display mode is read at every message; set it whenever the setting changes.
  void SetLogDisplayMode(std::int32_t mode) { displayMode_.store(mode); }
  std::int32_t LogDisplayMode() const { return displayMode_.load(); }

  // Queues one line without filtering. Dropped after Terminate(). Any thread.
  void AddLog(const std::string& text, std::uint32_t colour);
  // Posts a row-limit check for OnLimitCheck. Dropped after Terminate() and while an earlier
  // request is still pending (dropped, not merged). Any thread.
  void RequestLimitCheck(std::int32_t clearSelection, std::int32_t rowLimit);
  // True from an accepted request until its check has run.
  bool LimitCheckPending() const;

  // Lines stay queued until OnLogMessage or OnLogBatch is set. When OnLogBatch is set it
  // receives every batch whole, in order, instead of per-line calls to OnLogMessage.
  void SetOnLogMessage(MessageCallback callback);
  void SetOnLogBatch(BatchCallback callback);
  // A limit request stays pending until OnLimitCheck is set; it is cleared after the check ran.
  void SetOnLimitCheck(LimitCallback callback);
  // An empty dispatcher (the default) calls the consumers on the writer thread.
  void SetDispatcher(Dispatcher dispatcher);

  // Tells the writer to end: later lines and requests are dropped, a hand-over the writer waits
  // for is cancelled, and the writer ends at once. Does not wait; the destructor joins.
  void Terminate();
  bool Terminated() const { return terminated_.load(); }

 private:
  struct Handover;
  struct Work {
    std::vector<LogInfo> batch;
    bool limitCheck = false;
    std::int32_t limitMode = 0;
    std::int32_t limitRows = 0;
    MessageCallback onMessage;
    BatchCallback onBatch;
    LimitCallback onLimit;
    Dispatcher dispatcher;
  };

  void Execute();
  bool HasWorkLocked() const;
  Work TakeWorkLocked();
  bool Deliver(std::shared_ptr<Work> work);  // false when cancelled by Terminate()
  static void RunWork(const Work& work);

  std::atomic<std::int32_t> displayMode_;
  const std::chrono::milliseconds period_;
  std::atomic<bool> terminated_{false};

  mutable std::mutex mutex_;  // QueueMutex: guards everything below
  std::condition_variable wake_;
  std::vector<LogInfo> queue_;
  std::int32_t limitMode_ = 0;
  std::int32_t limitRows_ = 0;
  bool limitPending_ = false;
  MessageCallback onLogMessage_;
  BatchCallback onLogBatch_;
  LimitCallback onLimitCheck_;
  Dispatcher dispatcher_;
  std::shared_ptr<Handover> inFlight_;

  std::thread writer_;  // last: starts after every member above exists
};
