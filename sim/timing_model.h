#pragma once
// How long the unit takes. Every duration here is model time: what a real unit would take.
// The model may run faster than real time by `scale`; every wait the simulator makes is the
// model time divided by it (`realTime`). Off in unit tests (everything answers at once), on in
// demos and benchmarks.
//
// Bulk data shares one USB 2.0 high-speed link per bus (see shared_link.h); a command block
// costs a turnaround before its acceptance arrives; part steps take a fixed overhead plus a
// time per byte that depends on the kind of part (part_timing.h).
#include <chrono>
#include <cstdint>
#include <map>

#include "sim/part_timing.h"

namespace sim {

struct TimingModel {
  bool enabled = false;
  // The model runs this many times faster than real time (1 = real time).
  double scale = 1.0;
  // Payload rate of the bus's one link; ~53 MB/s is what bulk transfers reach on high speed.
  double bytesPerSecond = 53.0e6;
  // From a command block's arrival to its acceptance reply (two microframes each way).
  std::chrono::microseconds commandTurnaround{250};
  // Between a command's acceptance and its completion reply, unless listed below.
  std::chrono::microseconds defaultCommandDuration{2000};
  std::map<std::uint16_t, std::chrono::microseconds> commandDurations;
  // Every procedure step: the firmware's own work before the part is touched.
  std::chrono::microseconds stepOverhead{1000};
  PartTimingTable parts = typicalPartTimings();
  // The unit's SD card, for the card's read and write commands.
  double sdWriteBytesPerSecond = 10.0e6;
  double sdReadBytesPerSecond = 20.0e6;

  // Model time; zero when the model is off.
  std::chrono::nanoseconds lineTime(std::uint64_t bytes) const;
  std::chrono::microseconds durationOf(std::uint16_t code) const;
  std::chrono::nanoseconds turnaround() const;
  // A procedure step on a part of `kind`: erase and blank check touch `bytes` = the part's
  // size, program and verify the chunk they work on, read the part; other steps take their
  // listed duration or the overhead alone.
  std::chrono::nanoseconds stepTime(std::uint16_t code, PartKind kind, std::uint64_t bytes) const;
  // An SD card read or write of `bytes` (their command duration plus the card's rate).
  std::chrono::nanoseconds sdTime(std::uint16_t code, std::uint64_t bytes) const;

  // The real wait for a model duration: divided by the scale (zero when off).
  std::chrono::nanoseconds realTime(std::chrono::nanoseconds model) const;

  // The model the demo program and the benchmarks use: on, real time, typical durations.
  static TimingModel realistic();
};

}  // namespace sim
