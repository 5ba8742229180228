#include "records/record_shipper.h"

#include <memory>
#include <utility>

RecordShipper::RecordShipper(RecordShipperOptions options, LogSink& log)
    : options_(std::move(options)), log_(log), thread_([this] { Run(); }) {}

RecordShipper::~RecordShipper() {
  Stop();
}

void RecordShipper::Nudge() {
  {
    std::lock_guard lock(mutex_);
    nudged_ = true;
  }
  wake_.notify_one();
}

void RecordShipper::Stop() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_one();
  if (thread_.joinable()) thread_.join();
}

void RecordShipper::Run() {
  StationInfo station;
  std::string error;
  // The id is made here, off the start-up's path; without one nothing can be shipped.
  if (!LoadStation(options_.BaseDir, options_.ProgramVersion, station, error)) {
    failing_ = true;
    Log("Part Records: shipping to " + PgUrlForLog(options_.Url) + " cannot start (" + error +
            "); the records stay in " + options_.LocalPath + "!",
        LogColour::Red);
    return;
  }
  RecordPusher pusher(options_.Url, options_.LocalPath, station, options_.BatchRecords);
  std::unique_lock lock(mutex_);
  for (;;) {
    const bool stopping = stop_;
    nudged_ = false;
    lock.unlock();
    Report(pusher.ShipAll());
    lock.lock();
    if (stopping) break;
    const auto pause = failing_ ? options_.RetryInterval : options_.PollInterval;
    wake_.wait_for(lock, pause, [&] { return stop_ || nudged_; });
  }
}

// One line when shipping stops, one when records flow again; nothing while all is well or
// while it keeps failing.
void RecordShipper::Report(const ShipOutcome& outcome) {
  shipped_ += outcome.Shipped;
  const std::string target = PgUrlForLog(options_.Url);
  if (failing_ && (outcome.Done || outcome.Shipped > 0)) {
    failing_ = false;
    Log("Part Records: shipping to " + target + " resumed; " + std::to_string(outcome.Shipped) +
            " waiting records shipped.",
        LogColour::Green);
  }
  if (!outcome.Done && !failing_) {
    failing_ = true;
    Log("Part Records: shipping to " + target + " stopped (" + outcome.Reason + "); " +
            std::to_string(outcome.Backlog) + " records wait in " + options_.LocalPath +
            " and are shipped when it can be reached again!",
        LogColour::Red);
  }
}

void RecordShipper::Log(const std::string& text, std::uint32_t colour) {
  log_.Write(text, colour, LogLevel::Essential);
}
