#pragma once
// The settings that make simulated units behave like a working gang: a virtual operator who
// puts parts into the sockets and takes them out, a share of parts that fail as real parts
// do, and the tally of parts each unit finished.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>

#include "sim/part_timing.h"

namespace sim {

// How the failing parts fail, as weights among the ways the run's steps can show (none left:
// the part sits loose).
struct FailMix {
  unsigned wrongId = 3;      // the ID check reads another device code
  unsigned badCell = 4;      // a weak cell: verify (or blank check) reads one bit flipped
  unsigned emptySocket = 2;  // the part sits loose: the run's steps find the socket empty
  unsigned overCurrent = 1;  // one step of the run trips the over-current guard (0xA3)
};

struct FailRateOptions {
  double rate = 0;  // share of runs whose part fails, 0..1
  std::uint64_t seed = 1;
  FailMix mix;
};

// The operator at one bus. Delays are model time (they run faster with the model's scale, and
// are zero with the timing model off); each is drawn evenly from its range.
struct OperatorOptions {
  bool enabled = false;
  std::uint64_t seed = 1;
  std::chrono::milliseconds insertDelayMin{600};  // after the unit is first asked for a part
  std::chrono::milliseconds insertDelayMax{1400};
  std::chrono::milliseconds removeDelayMin{400};  // after the unit is first polled for removal
  std::chrono::milliseconds removeDelayMax{1000};

  std::chrono::nanoseconds meanInsertDelay() const { return (insertDelayMin + insertDelayMax) / 2; }
  std::chrono::nanoseconds meanRemoveDelay() const { return (removeDelayMin + removeDelayMax) / 2; }
};

// Runs a unit finished: good when its last step passed, failed when a step did not pass.
// A run cut short (a new run started over it, the unit pulled) counts in neither.
struct PartTally {
  std::atomic<std::uint64_t> good{0};
  std::atomic<std::uint64_t> failed{0};
};

// What one unit takes from its rig.
struct GangConfig {
  OperatorOptions hand;
  FailRateOptions failRate;
  std::uint64_t seat = 0;  // the unit's place on the bus: its random streams differ by it
  // The kind of part in the socket; none: learnt from the driver settings the PC sends.
  bool fixedPartKind = false;
  PartKind partKind = PartKind::Default;
  std::shared_ptr<PartTally> busTally;  // the rig's total, if any
};

// A seed for one stream of one seat (splitmix64 of both).
std::uint64_t streamSeed(std::uint64_t seed, std::uint64_t seat, std::uint64_t stream);

}  // namespace sim
