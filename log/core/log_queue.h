#pragma once
// The toolkit-free log pipeline: the display filter and the one queue that any thread pushes
// into and one consumer takes from, in queueing order.
//
// Why it is built this way: producers are the site workers in the middle of programming a part,
// so a producer must never wait for a consumer. A push holds the queue's lock for one append; a
// take holds it for moving one bounded chunk out. The consumer is woken by a single call of its
// wake function when the queue goes from empty to non-empty; until the consumer ends its turn
// with the queue empty (EndTurn), later pushes wake nobody. Nothing here polls or blocks.
//
// Consumers: the log view on the UI thread (log/view) and TLogWriter, a thread for front ends
// without a view (log_writer.h).
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
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

class LogQueue final : public LogSink {
 public:
  struct LogInfo {
    std::uint32_t Color = 0;
    std::string Text;
  };
  // Called on the producer's thread (or the thread that attaches the consumer) when work arrives
  // for a consumer that is not in a turn. It must return at once: post, signal, never wait.
  using Wake = std::function<void()>;
  using LimitCheck = std::function<void(std::int32_t clearSelection, std::int32_t rowLimit)>;

  explicit LogQueue(std::int32_t displayMode = LogDisplay::Essential);
  ~LogQueue() override;
  LogQueue(const LogQueue&) = delete;
  LogQueue& operator=(const LogQueue&) = delete;

  // Producers, any thread.
  // Filters with the current display mode, then queues the line.
  void AddLogMessage(const std::string& text, std::uint32_t colour, std::uint8_t ignored,
                     std::uint8_t essential) override;
  bool IsLogMessageShown(std::uint32_t colour, std::uint8_t essential) const;
  // The display mode is read at every message; set it whenever the setting changes.
  void SetLogDisplayMode(std::int32_t mode) { displayMode_.store(mode); }
  std::int32_t LogDisplayMode() const { return displayMode_.load(); }
  // Queues one line without filtering. Dropped after Terminate().
  void AddLog(const std::string& text, std::uint32_t colour);
  // Asks the consumer for a row-limit check. Dropped after Terminate() and while an earlier
  // request is still pending (dropped, not merged).
  void RequestLimitCheck(std::int32_t clearSelection, std::int32_t rowLimit);
  // True from an accepted request until a consumer has served it.
  bool LimitCheckPending() const;

  // The consumer (one at a time).
  // Sets or clears the wake. Setting it with work already waiting wakes at once; once clearing
  // returns, no call of the old wake is running or will start.
  void SetWake(Wake wake);
  // Moves up to maxLines of the oldest lines into `lines` (cleared first). Returns how many.
  std::size_t TakeLines(std::vector<LogInfo>& lines, std::size_t maxLines);
  // Runs `check` for a pending limit request, then clears it. False when none was pending.
  bool ServeLimitCheck(const LimitCheck& check);
  // Ends a consumer's turn. True when work is left (the consumer must come back without a
  // wake); false when the queue is empty, and the next push wakes the consumer again.
  bool EndTurn();

  // Lines waiting in the queue.
  std::size_t QueuedLines() const;
  // Lines ever queued and ever taken (a consumer waits on them to flush).
  std::uint64_t QueuedCount() const;
  std::uint64_t TakenCount() const;

  // Drops the queued lines and every later line and request, and wakes the consumer once so
  // that it sees them gone. Any thread.
  void Terminate();
  bool Terminated() const { return terminated_.load(); }

 private:
  static constexpr std::size_t kCompactAfter = 4096;  // taken lines kept before the front goes

  bool HasWorkLocked() const { return queue_.size() > head_ || limitPending_; }
  void CallWake();

  std::atomic<std::int32_t> displayMode_;
  std::atomic<bool> terminated_{false};

  mutable std::mutex mutex_;    // QueueMutex: guards everything below up to wakeMutex_
  std::vector<LogInfo> queue_;  // lines from head_ on wait; those before it were taken
  std::size_t head_ = 0;
  std::uint64_t queuedCount_ = 0;
  std::uint64_t takenCount_ = 0;
  std::int32_t limitMode_ = 0;
  std::int32_t limitRows_ = 0;
  bool limitPending_ = false;
  bool woken_ = false;  // a wake was sent and the consumer has not ended its turn empty

  std::mutex wakeMutex_;  // guards wake_ and is held while it runs (taken after mutex_ is free)
  Wake wake_;
};
