#pragma once
// How long the unit takes: the line time of bulk data on a USB 2.0 high-speed port and a
// duration per command. Off in unit tests (everything answers at once), on in demos and
// benchmarks.
#include <chrono>
#include <cstdint>
#include <map>

namespace sim {

struct TimingModel {
  bool enabled = false;
  // Payload rate of one unit's port; ~53 MB/s is what bulk transfers reach on high speed.
  double bytesPerSecond = 53.0e6;
  // Between a command's acceptance and its completion reply, unless listed below.
  std::chrono::microseconds defaultCommandDuration{2000};
  std::map<std::uint16_t, std::chrono::microseconds> commandDurations;

  std::chrono::nanoseconds lineTime(std::uint64_t bytes) const;
  std::chrono::microseconds durationOf(std::uint16_t code) const;

  // The model the demo program and the benchmarks use: on, with typical step times.
  static TimingModel realistic();
};

}  // namespace sim
