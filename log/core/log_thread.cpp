#include "log/core/log_thread.h"

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

// One hand-over of work to the consumer's thread. Shared between the writer and the posted
// work, so posted work that runs after the pipeline is gone still finds its state.
struct TLogThread::Handover {
  enum class State { Posted, Running, Done, Cancelled };
  std::mutex mutex;
  std::condition_variable changed;
  State state = State::Posted;

  // Posted -> Running; false when the hand-over was cancelled meanwhile.
  bool Start() {
    std::lock_guard lock(mutex);
    if (state != State::Posted) return false;
    state = State::Running;
    return true;
  }
  void Finish() { Set(State::Done); }
  // Cancels a hand-over that has not started; one that runs is left to finish.
  void Cancel() {
    std::lock_guard lock(mutex);
    if (state != State::Posted) return;
    state = State::Cancelled;
    changed.notify_all();
  }
  // Waits until the work has run or was cancelled; true when it ran.
  bool Wait() {
    std::unique_lock lock(mutex);
    changed.wait(lock, [this] { return state == State::Done || state == State::Cancelled; });
    return state == State::Done;
  }

 private:
  void Set(State next) {
    std::lock_guard lock(mutex);
    state = next;
    changed.notify_all();
  }
};

TLogThread::TLogThread(std::int32_t displayMode, std::chrono::milliseconds period)
    : displayMode_(displayMode), period_(period), writer_([this] { Execute(); }) {}

TLogThread::~TLogThread() {
  Terminate();
  if (writer_.joinable()) writer_.join();
}

void TLogThread::AddLogMessage(const std::string& text, std::uint32_t colour,
                               std::uint8_t /*ignored*/, std::uint8_t essential) {
  if (IsLogMessageShown(colour, essential)) AddLog(text, colour);
}

bool TLogThread::IsLogMessageShown(std::uint32_t colour, std::uint8_t essential) const {
  return ::IsLogMessageShown(displayMode_.load(), colour, essential);
}

void TLogThread::AddLog(const std::string& text, std::uint32_t colour) {
  if (terminated_.load()) return;
  LogInfo entry{colour, text};  // copied before the lock, so the lock covers one append only
  bool wasEmpty = false;
  {
    std::lock_guard lock(mutex_);
    if (terminated_.load()) return;
    wasEmpty = queue_.empty();
    queue_.push_back(std::move(entry));
  }
  // Later lines of the same batch need no wake: the writer finds them when it takes the queue.
  if (wasEmpty) wake_.notify_one();
}

void TLogThread::RequestLimitCheck(std::int32_t clearSelection, std::int32_t rowLimit) {
  {
    std::lock_guard lock(mutex_);
    if (terminated_.load() || limitPending_) return;
    limitMode_ = clearSelection;
    limitRows_ = rowLimit;
    limitPending_ = true;
  }
  wake_.notify_one();
}

bool TLogThread::LimitCheckPending() const {
  std::lock_guard lock(mutex_);
  return limitPending_;
}

void TLogThread::SetOnLogMessage(MessageCallback callback) {
  {
    std::lock_guard lock(mutex_);
    onLogMessage_ = std::move(callback);
  }
  wake_.notify_one();
}

void TLogThread::SetOnLogBatch(BatchCallback callback) {
  {
    std::lock_guard lock(mutex_);
    onLogBatch_ = std::move(callback);
  }
  wake_.notify_one();
}

void TLogThread::SetOnLimitCheck(LimitCallback callback) {
  {
    std::lock_guard lock(mutex_);
    onLimitCheck_ = std::move(callback);
  }
  wake_.notify_one();
}

void TLogThread::SetDispatcher(Dispatcher dispatcher) {
  std::lock_guard lock(mutex_);
  dispatcher_ = std::move(dispatcher);
}

void TLogThread::Terminate() {
  std::shared_ptr<Handover> inFlight;
  {
    std::lock_guard lock(mutex_);
    terminated_.store(true);
    inFlight = inFlight_;
  }
  wake_.notify_all();
  if (inFlight) inFlight->Cancel();
}

bool TLogThread::HasWorkLocked() const {
  const bool lines = !queue_.empty() && (onLogBatch_ || onLogMessage_);
  return lines || (limitPending_ && onLimitCheck_);
}

TLogThread::Work TLogThread::TakeWorkLocked() {
  Work work;
  if (onLogBatch_ || onLogMessage_) work.batch.swap(queue_);
  if (limitPending_ && onLimitCheck_) {
    work.limitCheck = true;
    work.limitMode = limitMode_;
    work.limitRows = limitRows_;
  }
  work.onMessage = onLogMessage_;
  work.onBatch = onLogBatch_;
  work.onLimit = onLimitCheck_;
  work.dispatcher = dispatcher_;
  return work;
}

void TLogThread::RunWork(const Work& work) {
  if (!work.batch.empty()) {
    if (work.onBatch) {
      work.onBatch(work.batch);
    } else if (work.onMessage) {
      for (const LogInfo& entry : work.batch) work.onMessage(entry.Text, entry.Color);
    }
  }
  if (work.limitCheck && work.onLimit) work.onLimit(work.limitMode, work.limitRows);
}

bool TLogThread::Deliver(std::shared_ptr<Work> work) {
  if (!work->dispatcher) {
    RunWork(*work);
    return true;
  }
  auto handover = std::make_shared<Handover>();
  {
    std::lock_guard lock(mutex_);
    if (terminated_.load()) return false;
    inFlight_ = handover;
  }
  work->dispatcher([handover, work] {
    if (!handover->Start()) return;  // cancelled by termination: the consumer may be gone
    struct FinishOnExit {
      Handover& h;
      ~FinishOnExit() { h.Finish(); }  // also when a callback throws, or the writer would hang
    } finish{*handover};
    RunWork(*work);
  });
  const bool ran = handover->Wait();
  std::lock_guard lock(mutex_);
  inFlight_.reset();
  return ran;
}

void TLogThread::Execute() {
  std::unique_lock lock(mutex_);
  std::vector<LogInfo> spare;
  while (!terminated_.load()) {
    wake_.wait_for(lock, period_, [this] { return terminated_.load() || HasWorkLocked(); });
    if (terminated_.load() || !HasWorkLocked()) continue;
    auto work = std::make_shared<Work>(TakeWorkLocked());
    if (queue_.empty()) queue_.swap(spare);  // reuse the capacity of an earlier batch
    lock.unlock();
    const bool delivered = Deliver(work);
    work->batch.clear();  // the posted work is finished or cancelled: nobody else reads it
    lock.lock();
    if (delivered && work->limitCheck) limitPending_ = false;
    if (spare.capacity() < work->batch.capacity()) spare.swap(work->batch);
  }
  queue_.clear();  // lines queued before the termination are dropped with the pipeline
}
