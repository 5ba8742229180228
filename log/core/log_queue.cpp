#include "log/core/log_queue.h"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <utility>

bool IsLogMessageShown(std::int32_t displayMode, std::uint32_t colour, std::uint8_t essential) {
  switch (displayMode) {
    case LogDisplay::Essential:
      return essential != 0 || colour == LogColour::Red;
    case LogDisplay::All:
      return true;
    default:
      return false;
  }
}

LogQueue::LogQueue(std::int32_t displayMode) : displayMode_(displayMode) {}

LogQueue::~LogQueue() = default;

void LogQueue::AddLogMessage(const std::string& text, std::uint32_t colour,
                             std::uint8_t /*ignored*/, std::uint8_t essential) {
  if (IsLogMessageShown(colour, essential)) AddLog(text, colour);
}

bool LogQueue::IsLogMessageShown(std::uint32_t colour, std::uint8_t essential) const {
  return ::IsLogMessageShown(displayMode_.load(), colour, essential);
}

void LogQueue::AddLog(const std::string& text, std::uint32_t colour) {
  if (terminated_.load()) return;
  LogInfo entry{colour, text};  // copied before the lock, so the lock covers one append only
  bool wake = false;
  {
    std::lock_guard lock(mutex_);
    if (terminated_.load()) return;
    queue_.push_back(std::move(entry));
    ++queuedCount_;
    wake = !std::exchange(woken_, true);
  }
  if (wake) CallWake();
}

void LogQueue::RequestLimitCheck(std::int32_t clearSelection, std::int32_t rowLimit) {
  bool wake = false;
  {
    std::lock_guard lock(mutex_);
    if (terminated_.load() || limitPending_) return;
    limitMode_ = clearSelection;
    limitRows_ = rowLimit;
    limitPending_ = true;
    wake = !std::exchange(woken_, true);
  }
  if (wake) CallWake();
}

bool LogQueue::LimitCheckPending() const {
  std::lock_guard lock(mutex_);
  return limitPending_;
}

void LogQueue::CallWake() {
  std::lock_guard lock(wakeMutex_);
  if (wake_) wake_();
}

void LogQueue::SetWake(Wake wake) {
  std::lock_guard wakeLock(wakeMutex_);
  wake_ = std::move(wake);
  bool work = false;
  {
    std::lock_guard lock(mutex_);
    // A new consumer starts outside a turn: work that waits now is announced to it at once.
    work = HasWorkLocked();
    woken_ = work;
  }
  if (work && wake_) wake_();
}

// A whole queue is taken in one swap, and the consumer's vector (cleared) lends its capacity
// to the queue, so a busy pipeline allocates almost nothing. A chunk moves out of the front.
std::size_t LogQueue::TakeLines(std::vector<LogInfo>& lines, std::size_t maxLines) {
  lines.clear();
  std::lock_guard lock(mutex_);
  const std::size_t waiting = queue_.size() - head_;
  const std::size_t n = std::min(maxLines, waiting);
  takenCount_ += n;
  if (n == waiting && head_ == 0) {
    lines.swap(queue_);
    return n;
  }
  lines.reserve(n);
  const auto first = queue_.begin() + static_cast<std::ptrdiff_t>(head_);
  std::move(first, first + static_cast<std::ptrdiff_t>(n), std::back_inserter(lines));
  head_ += n;
  if (head_ == queue_.size()) {
    queue_.clear();
    head_ = 0;
  } else if (head_ >= kCompactAfter && head_ * 2 >= queue_.size()) {
    // Bounded memory when the consumer never quite catches up: drop the taken front.
    queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(head_));
    head_ = 0;
  }
  return n;
}

bool LogQueue::ServeLimitCheck(const LimitCheck& check) {
  std::int32_t mode = 0;
  std::int32_t rows = 0;
  {
    std::lock_guard lock(mutex_);
    if (!limitPending_) return false;
    mode = limitMode_;
    rows = limitRows_;
  }
  // Outside the lock: the check may log its notice through this pipeline.
  if (check) check(mode, rows);
  std::lock_guard lock(mutex_);
  limitPending_ = false;
  return true;
}

bool LogQueue::EndTurn() {
  std::lock_guard lock(mutex_);
  woken_ = HasWorkLocked();
  return woken_;
}

std::size_t LogQueue::QueuedLines() const {
  std::lock_guard lock(mutex_);
  return queue_.size() - head_;
}

std::uint64_t LogQueue::QueuedCount() const {
  std::lock_guard lock(mutex_);
  return queuedCount_;
}

std::uint64_t LogQueue::TakenCount() const {
  std::lock_guard lock(mutex_);
  return takenCount_;
}

void LogQueue::Terminate() {
  std::vector<LogInfo> dropped;
  bool wake = false;
  {
    std::lock_guard lock(mutex_);
    terminated_.store(true);
    takenCount_ += queue_.size() - head_;  // counted as taken: a flush does not wait for them
    dropped.swap(queue_);
    head_ = 0;
    limitPending_ = false;
    wake = !std::exchange(woken_, true);
  }
  // One more turn lets a consumer that waits for its lines see that they are gone.
  if (wake) CallWake();
}
